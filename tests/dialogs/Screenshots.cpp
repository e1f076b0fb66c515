// Renders every dialog, the schedule dialog once per kind, to PNG files in
// the folder given as the only argument. Not a test: a look at the layouts.
//
//   dialogs_screenshots docs/

#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Job.h"
#include "JobDialog.h"
#include "ModalSeam.h"
#include "Monthly.h"
#include "Once.h"
#include "PlanDialog.h"
#include "ScanParamDialog.h"
#include "WeekdayDialog.h"
#include "Weekly.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

namespace {

QString g_folder;

// Answers the modal loop by saving a picture of the dialog and cancelling it.
int Shoot(QDialog& dialog, const QString& name) {
    dialog.adjustSize();
    QApplication::processEvents();
    const QString path = QDir(g_folder).filePath(name);
    if (!dialog.grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return IDCANCEL;
}

void ShootPlan(const CPeriod& period, const char* name) {
    ScopedModalHook hook([name](QDialog& d) { return Shoot(d, name); });
    CPlanDialog dlg;
    dlg.InitFromPeriod(period);
    dlg.DoModal();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    CJob job;
    job.SetName("Dyski lokalne");
    CDaily daily;
    const int hour = 8, minute = 30, off = 0;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, &off, &off);
    job.SetPeriod(daily, COleDateTime::GetCurrentTime());
    {
        ScopedModalHook hook([](QDialog& d) { return Shoot(d, "dialog-job.png"); });
        CJobDialog(&job).DoModal();
    }
    {
        ScopedModalHook hook([](QDialog& d) { return Shoot(d, "dialog-scan-options.png"); });
        CScanParamDialog dlg;
        dlg.m_strDirectory = "/home";
        dlg.DoModal();
    }
    {
        ScopedModalHook hook([](QDialog& d) { return Shoot(d, "dialog-weekdays.png"); });
        CWeekdayDialog dlg;
        dlg.m_bSaturday = dlg.m_bSunday = 0;
        dlg.DoModal();
    }
    COnce once;
    ShootPlan(once, "dialog-schedule-once.png");
    CHourly hourly;
    hourly.SetMinute(true, 1);
    ShootPlan(hourly, "dialog-schedule-hourly.png");
    daily.SetIdle(true, 5);
    ShootPlan(daily, "dialog-schedule-daily.png");
    CWeekly weekly;
    weekly.Set(true, 6, 30, 1);
    ShootPlan(weekly, "dialog-schedule-weekly.png");
    CMonthly monthly;
    monthly.Set(true, 22, 0, 31);
    ShootPlan(monthly, "dialog-schedule-monthly.png");
    ShootPlan(CAtStartup(), "dialog-schedule-startup.png");
    return 0;
}
