#pragma once

// How the job store reaches the window's document and the user without
// depending on the widget toolkit. The window's document implements
// IStoreDocument; each program supplies the message sink that suits it (a
// message box, stderr, or a recorder in tests).

#include "StringTable.h"

#include <cstdio>

class CJob;

// Update hints that the store passes to the document's views.
enum : int {
    kHintJobAdded = 1,    // the job that was added
    kHintJobsDeleted = 2, // no job: one or more were deleted
    kHintJobChanged = 3,  // the job that changed, or none: re-read every row
};

class IStoreDocument {
public:
    virtual ~IStoreDocument() = default;
    virtual void UpdateAllViews(void* pSender, int nHint, CJob* pHint) = 0;
};

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // Shows the string-table entry nStringId to the user.
    virtual void ShowMessage(unsigned nStringId) = 0;
};

// For the server and the command line: the message's text on stderr.
class CStderrMessageSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override {
        std::fprintf(stderr, "Vex Tempora: %s\n", LoadResString(nStringId));
    }
};
