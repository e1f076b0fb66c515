#pragma once

#include "DateTimePickCtrl.h"

#include <string>

// A picker whose format can carry the unit word of the minute it shows:
// in minute-unit mode the format template's "%s" becomes "Minuta" for minute 1
// and "Minut(y)" for any other, and the word follows each change of the value.
class CMyDateTimePickCtrl : public CDateTimePickCtrl {
    Q_OBJECT
public:
    using CDateTimePickCtrl::CDateTimePickCtrl;

    // Without the minute unit the format is set as it is. With it the word for
    // the current value is filled in; the result is then always true.
    bool SetDisplayFormat(const char* pszFormat, bool bMinuteUnit);

    bool IsMinuteUnit() const { return m_bMinuteUnit; }

protected:
    void OnDateTimeChange(const COleDateTime& value) override;

private:
    bool m_bMinuteUnit = false;
    std::string m_strFormat;
};
