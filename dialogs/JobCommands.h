#pragma once

// The new-job and edit-job commands of the window's document, written so that
// the document only has to call them. Both show the job dialog on a local job
// and hand the result to the store, which updates the views, signals the scan
// server and reports its own failures.

class CRegInterface;
class QWidget;

// Shows the job dialog on a new job until the store takes it or the user
// cancels. A refused add (name taken, store not writable) reopens the dialog
// with everything entered. True when a job was added.
bool RunNewJobCommand(CRegInterface& store, QWidget* pParent = nullptr);

// Edits the stored job pszName that list row nRow shows. A job that is gone
// is not edited. A new name that another stored job already has (as the
// store compares names) is refused with message 138 and the dialog reopens;
// a change of case only is a rename of the same job. True when written.
bool RunEditJobCommand(CRegInterface& store, int nRow, const char* pszName,
                       QWidget* pParent = nullptr);
