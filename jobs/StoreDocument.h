#pragma once

// How the job store reaches the window's document and the user without
// depending on the widget toolkit. The window's document implements
// IStoreDocument; each program supplies the message sink that suits it (a
// message box, stderr, or a recorder in tests).

#include "Registry.h"
#include "StringTable.h"

#include <cstdio>
#include <string>

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
    // The same with its cause, a few Polish words ("brak miejsca na dysku");
    // a sink that cannot show more shows the message alone.
    virtual void ShowFailure(unsigned nStringId, const std::string& strCause) {
        (void)strCause;
        ShowMessage(nStringId);
    }
};

// The message nStringId followed by its cause: "... Przyczyna: cause."
std::string WithCause(unsigned nStringId, const std::string& strCause);

// Why the store failed, in a few Polish words for the user.
std::string StoreFailureText(LONG nResult);

// For the server and the command line: the message's text on stderr.
class CStderrMessageSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override {
        std::fprintf(stderr, "Vex Tempora: %s\n", LoadResString(nStringId));
    }
    void ShowFailure(unsigned nStringId, const std::string& strCause) override {
        std::fprintf(stderr, "Vex Tempora: %s\n", WithCause(nStringId, strCause).c_str());
    }
};
