#include "ScanParameter.h"

#include "ByteReader.h"

#include <climits>
#include <utility>

namespace {

// Everything after the directory text: two flag bytes and seven u32.
constexpr size_t kFixedFieldsSize = 2 * 1 + 7 * 4;

} // namespace

CScanParameter::CScanParameter()
    : m_bHeuristic(true), m_nLogMode(1), m_nReferenceCheck(1), m_nReferenceDiffAction(0),
      m_nInfectionAction(0), m_nWindowMode(0), m_nEndMode(1), m_bSubdirectories(true),
      m_strDirectory(kDefaultDirectory), m_nFileSelection(1) {}

int CScanParameter::GetStoreSize() const {
    return static_cast<int>(TextStoreSize(m_strDirectory) + kFixedFieldsSize);
}

int CScanParameter::Store(BYTE* pBuf) const {
    BYTE* p = pBuf;
    PutText(p, m_strDirectory);
    PutBool(p, m_bHeuristic);
    PutU32(p, m_nLogMode);
    PutU32(p, m_nReferenceCheck);
    PutU32(p, m_nReferenceDiffAction);
    PutU32(p, m_nInfectionAction);
    PutU32(p, m_nWindowMode);
    PutU32(p, m_nEndMode);
    PutBool(p, m_bSubdirectories);
    PutU32(p, m_nFileSelection);
    return static_cast<int>(p - pBuf);
}

int CScanParameter::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    // Read into a copy so that a short form changes nothing.
    CScanParameter loaded;
    const bool ok =
        reader.ReadText(loaded.m_strDirectory) && reader.Remaining() >= kFixedFieldsSize &&
        reader.ReadBool(loaded.m_bHeuristic) && reader.ReadU32(loaded.m_nLogMode) &&
        reader.ReadU32(loaded.m_nReferenceCheck) && reader.ReadU32(loaded.m_nReferenceDiffAction) &&
        reader.ReadU32(loaded.m_nInfectionAction) && reader.ReadU32(loaded.m_nWindowMode) &&
        reader.ReadU32(loaded.m_nEndMode) && reader.ReadBool(loaded.m_bSubdirectories) &&
        reader.ReadU32(loaded.m_nFileSelection);
    // The count must fit the int result; only a form of about 2 GB would not.
    if (!ok || reader.Consumed() > static_cast<size_t>(INT_MAX))
        return 0;
    *this = std::move(loaded);
    return static_cast<int>(reader.Consumed());
}
