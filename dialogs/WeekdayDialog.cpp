#include "WeekdayDialog.h"

#include "DataExchange.h"

#include <QCheckBox>

CWeekdayDialog::CWeekdayDialog(QWidget* pParent) : CTemplateDialog(res::IDD_WEEKDAYS, pParent) {
    // Every click re-reads the boxes so that OK follows the choice at once.
    for (int id = res::IDC_DAY_MONDAY; id <= res::IDC_DAY_SUNDAY; ++id)
        connect(Item<QCheckBox>(id), &QCheckBox::clicked, this, [this] { UpdateData(true); });
}

int* CWeekdayDialog::Flag(int nDay) {
    int* const flags[] = {&m_bMonday, &m_bTuesday,  &m_bWednesday, &m_bThursday,
                          &m_bFriday, &m_bSaturday, &m_bSunday};
    return flags[nDay];
}

void CWeekdayDialog::DoDataExchange(CDataExchange& dx) {
    bool bAny = false;
    for (int day = 0; day < 7; ++day) {
        DDX_Check(dx, res::IDC_DAY_MONDAY + day, *Flag(day));
        bAny = bAny || *Flag(day) != 0;
    }
    SetInputComplete(bAny);
}
