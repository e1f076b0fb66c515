#include "MyDateTimePickCtrl.h"

#include "StringTable.h"

namespace {
constexpr unsigned IDS_MINUTE_ONE = 136;
constexpr unsigned IDS_MINUTES = 137;
} // namespace

bool CMyDateTimePickCtrl::SetDisplayFormat(const char* pszFormat, bool bMinuteUnit) {
    m_strFormat = pszFormat != nullptr ? pszFormat : "";
    m_bMinuteUnit = bMinuteUnit;
    if (!bMinuteUnit)
        return SetFormat(m_strFormat.c_str());
    COleDateTime value;
    GetTime(value);
    OnDateTimeChange(value);
    return true;
}

void CMyDateTimePickCtrl::OnDateTimeChange(const COleDateTime& value) {
    if (!m_bMinuteUnit)
        return;
    // GetMinute is -1 for a value that is not valid, which takes the plural.
    const char* word = LoadResString(value.GetMinute() == 1 ? IDS_MINUTE_ONE : IDS_MINUTES);
    // The template is ours (string table), but it is filled by plain text
    // replacement so that no other "%" sequence is ever interpreted.
    std::string format = m_strFormat;
    const size_t pos = format.find("%s");
    if (pos != std::string::npos)
        format.replace(pos, 2, word);
    // Only the word after the minute changes, so the cursor keeps its place
    // and the user's typing goes on where it was.
    SetFormat(format.c_str(), true);
}
