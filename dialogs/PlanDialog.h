#pragma once

#include "TemplateDialog.h"

#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

class CMyDateTimePickCtrl;

// "Ustawienia czasowe": edits a schedule of any of the six kinds and its
// idle-time option. Works on six schedules of its own, one per kind, so that
// switching kinds keeps each kind's values; on OK the pickers are written into
// the schedule of the chosen kind, which m_pResult then points to.
class CPlanDialog : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CPlanDialog(QWidget* pParent = nullptr);

    // Prepares the six schedules, the kind and the idle option from a schedule.
    void InitFromPeriod(const CPeriod& period);

    int m_bIdle = 0;
    int m_nIdleMinutes = 1;
    int m_nKind = -1; // PeriodKind of the checked radio, -1 for none

    COnce m_once;
    CHourly m_hourly;
    CDaily m_daily;
    CWeekly m_weekly;
    CMonthly m_monthly;
    CAtStartup m_atStartup;

    // After OK: the chosen kind's schedule (owned by the dialog).
    CPeriod* m_pResult = nullptr;

    CMyDateTimePickCtrl* DatePicker() const { return m_dtpDate; }
    CMyDateTimePickCtrl* TimePicker() const { return m_dtpTime; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void OnKind(int nKind);
    void ShowOnce();
    void ShowHourly();
    void ShowDaily();
    void ShowWeekly();
    void ShowMonthly();
    void ShowAtStartup();
    void OnWeekdays();
    void OnIdleSpin(int nSteps);
    bool WriteChosenKind();
    void UpdateControlStates();
    // Pixel widths of the layout, for a font of average width 6 pixels,
    // scaled to the dialog's font.
    int Scaled(int nPixels) const;
    // Moves the picker to nX on the pickers' row with at least nWidth pixels,
    // more when its longest text needs them, but never past nRight.
    void Place(CMyDateTimePickCtrl* pPicker, int nX, int nWidth, int nRight);
    // Widens the "Czas" frame so that the pickers' room reaches nRight,
    // as far as the dialog's right margin.
    void WidenTimeFrame(int nRight);
    void SetPickers(const COleDateTime& value);
    void ShowPickers(bool bDate, bool bTime);

    CMyDateTimePickCtrl* m_dtpDate;
    CMyDateTimePickCtrl* m_dtpTime;
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nHeight = 0;
    int m_nTimeWidth = 55;
    int m_nRight = 0; // right edge of the pickers' room inside the "Czas" frame
    QWidget* m_pTimeFrame = nullptr;
};
