#include "Job.h"

#include "StringTable.h"

#include <QByteArray>
#include <QString>

namespace {

// The longest folder the scanner takes, without the zero.
constexpr size_t kMaxDirectoryLength = 4095;
// 307..311: the faults in words, in the order of CJob::EFault.
constexpr unsigned kFaultTexts = 307;

} // namespace

// The limits are those of the scanner's command file, which carries each
// option as one digit, the name and the folder as one line each.
bool CScanParameter::CheckOptions() const {
    return m_nEndMode <= 2 && m_nFileSelection <= 1 && m_nInfectionAction <= 4 &&
           m_nReferenceDiffAction <= 2 && m_nLogMode <= 2 && m_nReferenceCheck <= 1 &&
           m_nWindowMode <= 1;
}

bool CScanParameter::CheckDirectory() const {
    const std::string& dir = m_strDirectory;
    return !dir.empty() && dir[0] == '/' && dir.size() <= kMaxDirectoryLength &&
           dir.find_first_of("\r\n") == std::string::npos;
}

CJob::EFault CJob::CheckStorable() const {
    if (m_strName.empty())
        return EFault::NoName;
    if (m_strName.size() > kMaxNameLength)
        return EFault::LongName;
    // The window shows and addresses jobs by their names as text.
    const QByteArray name = QByteArray::fromStdString(m_strName);
    if (QString::fromUtf8(name).toUtf8() != name)
        return EFault::NotText;
    return m_ScanParameter.CheckOptions() ? EFault::None : EFault::Option;
}

CJob::EFault CJob::CheckCarriable() const {
    const EFault fault = CheckStorable();
    if (fault != EFault::None)
        return fault;
    return m_ScanParameter.CheckDirectory() ? EFault::None : EFault::Directory;
}

std::string CJob::DescribeFault(EFault fault) {
    if (fault == EFault::None)
        return std::string();
    return LoadResString(kFaultTexts + static_cast<unsigned>(fault) - 1);
}
