#include "Job.h"

#include "StringTable.h"

#include <QByteArray>
#include <QString>

namespace {

// The longest folder the scanner takes, without the zero.
constexpr size_t kMaxDirectoryLength = 4095;
// 307..311: the faults in words, in the order of CJob::EFault; the later
// ones have their own.
constexpr unsigned kFaultTexts = 307;
constexpr unsigned kTextControlInName = 410;

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

namespace {

// What a stored name must be: 1 to kMaxNameLength bytes of UTF-8 text, as
// the window shows and addresses jobs by their names as text.
CJob::EFault CheckNameText(std::string_view name, QString& text) {
    if (name.empty())
        return CJob::EFault::NoName;
    if (name.size() > CJob::kMaxNameLength)
        return CJob::EFault::LongName;
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    text = QString::fromUtf8(bytes);
    return text.toUtf8() == bytes ? CJob::EFault::None : CJob::EFault::NotText;
}

} // namespace

CJob::EFault CJob::CheckName(std::string_view name) {
    QString text;
    if (const EFault fault = CheckNameText(name, text); fault != EFault::None)
        return fault;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            return EFault::ControlInName;
    return EFault::None;
}

CJob::EFault CJob::CheckStorable() const {
    QString text;
    if (const EFault fault = CheckNameText(m_strName, text); fault != EFault::None)
        return fault;
    return m_ScanParameter.CheckOptions() ? EFault::None : EFault::Option;
}

CJob::EFault CJob::CheckIncoming() const {
    const EFault fault = CheckName(m_strName);
    return fault != EFault::None ? fault : CheckCarriable();
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
    if (fault == EFault::ControlInName)
        return LoadResString(kTextControlInName);
    return LoadResString(kFaultTexts + static_cast<unsigned>(fault) - 1);
}
