#pragma once

// Identifiers of the dialog templates and their controls. The numbers are the
// program's own resource identifiers; several dialogs reuse a control number.
namespace res {
constexpr int IDC_STATIC = -1;
constexpr int IDOK_BUTTON = 1;
constexpr int IDCANCEL_BUTTON = 2;

// About box: borderless, no controls.
constexpr unsigned IDD_INFO = 100;

// Schedule dialog "Ustawienia czasowe".
constexpr unsigned IDD_PLAN = 130;
constexpr int IDC_PLAN_ONCE = 1000;
constexpr int IDC_PLAN_HOURLY = 1001;
constexpr int IDC_PLAN_DAILY = 1002;
constexpr int IDC_PLAN_WEEKLY = 1003;
constexpr int IDC_PLAN_MONTHLY = 1004;
constexpr int IDC_PLAN_ATSTARTUP = 1005;
constexpr int IDC_PLAN_IDLE = 1006;
constexpr int IDC_PLAN_IDLE_MINUTES = 1007;
constexpr int IDC_PLAN_IDLE_SPIN = 1008;
constexpr int IDC_PLAN_WEEKDAYS = 1021;
constexpr int IDC_PLAN_DATE = 1023;
constexpr int IDC_PLAN_EVERY = 1024;
constexpr int IDC_PLAN_TIME = 1025;
constexpr int IDC_PLAN_DAY_OF_MONTH = 1026;
constexpr int IDC_PLAN_MINUTES_UNIT = 1028;

// Job dialog "Ustawienia analizy".
constexpr unsigned IDD_JOB = 131;
constexpr int IDC_JOB_NAME = 1017;
constexpr int IDC_JOB_ACTIVE = 1018;
constexpr int IDC_JOB_OPTIONS = 1019;
constexpr int IDC_JOB_SCHEDULE = 1020;

// Weekday dialog "Dni tygodnia": Monday 1009 ... Sunday 1015.
constexpr unsigned IDD_WEEKDAYS = 132;
constexpr int IDC_DAY_MONDAY = 1009;
constexpr int IDC_DAY_SUNDAY = 1015;

// Scan options dialog "Ustaw opcje analizy". Each radio group is named by its
// first button.
constexpr unsigned IDD_SCANPARAM = 200;
constexpr int IDC_SCAN_DIRECTORY = 1044;
constexpr int IDC_SCAN_BROWSE = 1045;
constexpr int IDC_SCAN_SUBDIRS = 1046;
constexpr int IDC_SCAN_FILES_ALL = 1047;
constexpr int IDC_SCAN_FILES_PROGRAMS = 1048;
constexpr int IDC_SCAN_HEURISTIC = 1023;
constexpr int IDC_SCAN_WINDOW_FRONT = 1051;
constexpr int IDC_SCAN_WINDOW_BACKGROUND = 1052;
constexpr int IDC_SCAN_END_NOSTOP = 1053;
constexpr int IDC_SCAN_END_ONINFECTION = 1054;
constexpr int IDC_SCAN_END_ALWAYS = 1055;
constexpr int IDC_SCAN_INFECTION_LOG = 1035;
constexpr int IDC_SCAN_REFDIFF_LOG = 1039;
constexpr int IDC_SCAN_REFCHECK_NONE = 1029;
constexpr int IDC_SCAN_LOG_NONE = 1017;
} // namespace res
