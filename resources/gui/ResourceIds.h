#pragma once

// Identifiers shared by the window's resource tables. Command identifiers are
// also the string-table identifiers of their "prompt\ntool tip" texts.
namespace res {
// The main frame's menu, accelerators, tool bar and icon.
constexpr unsigned IDR_MAINFRAME = 128;
// Context menus of the job list: with selected rows, and without.
constexpr unsigned IDR_CONTEXT_SELECTED = 129;
constexpr unsigned IDR_CONTEXT_EMPTY = 104;
// Header sort marks: ascending (triangle down) and descending (triangle up).
constexpr unsigned IDI_SORT_ASCENDING = 133;
constexpr unsigned IDI_SORT_DESCENDING = 134;

// Job commands.
constexpr unsigned ID_JOB_NEW = 32774;
constexpr unsigned ID_JOB_EDIT = 32775;
constexpr unsigned ID_VIEW_REFRESH = 32776;
constexpr unsigned ID_VIEW_COUNTDOWN = 32777;
constexpr unsigned ID_JOB_DELETE = 32778;
constexpr unsigned ID_JOB_RUN_NOW = 32779;
constexpr unsigned ID_JOB_SHOW_LOG = 32784;
constexpr unsigned ID_JOB_RUN_FULL = 32785;   // run now, every file read
constexpr unsigned ID_JOB_QUARANTINE = 32786; // the quarantine dialog
constexpr unsigned ID_JOB_STOP = 32795;       // stop the running scans of the selected jobs

// Commands with the toolkit's standard identifiers.
constexpr unsigned ID_FILE_NEW = 57600;
constexpr unsigned ID_FILE_OPEN = 57601; // the document's import
constexpr unsigned ID_FILE_SAVE = 57603;
constexpr unsigned ID_FILE_SAVE_AS = 57604; // the document's export
constexpr unsigned ID_EDIT_COPY = 57634;
constexpr unsigned ID_EDIT_CUT = 57635;
constexpr unsigned ID_EDIT_PASTE = 57637;
constexpr unsigned ID_APP_ABOUT = 57664;
constexpr unsigned ID_APP_EXIT = 57665;
constexpr unsigned ID_HELP = 57670;
constexpr unsigned ID_NEXT_PANE = 57680;
constexpr unsigned ID_PREV_PANE = 57681;
constexpr unsigned ID_VIEW_TOOLBAR = 59392;
constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

// Status bar indicator texts.
constexpr unsigned ID_INDICATOR_CAPS = 59137;
constexpr unsigned ID_INDICATOR_NUM = 59138;
constexpr unsigned ID_INDICATOR_SCRL = 59139;

// Message pane text while idle.
constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;
// Caption of every message box.
constexpr unsigned AFX_IDS_APP_TITLE = 57344;
} // namespace res
