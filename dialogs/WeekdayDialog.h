#pragma once

#include "TemplateDialog.h"

// "Dni tygodnia": the weekdays on which a daily schedule runs. The caller sets
// the seven flags before DoModal and reads them after IDOK. OK stays disabled
// while no day is checked.
class CWeekdayDialog : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CWeekdayDialog(QWidget* pParent = nullptr);

    int m_bMonday = 1;
    int m_bTuesday = 1;
    int m_bWednesday = 1;
    int m_bThursday = 1;
    int m_bFriday = 1;
    int m_bSaturday = 1;
    int m_bSunday = 1;

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    int* Flag(int nDay); // 0 = Monday ... 6 = Sunday
};
