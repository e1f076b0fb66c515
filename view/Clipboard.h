#pragma once

// Cut, copy and paste of jobs through the system clipboard. The jobs travel
// as the payload of ClipPayload.h under the program's own format "ClipVigil",
// a private MIME type, so running copies of the program on one display can
// exchange them. The functions act on a store and on the names of the
// selected jobs, so the view only has to collect the selection.

#include "SystemTime.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

class CRegInterface;
class QClipboard;

class CJobClipboard {
public:
    // The registered format "ClipVigil".
    static QString Format();

    // Whether the clipboard offers the job format (paste is enabled only then).
    static bool CanPaste();

    // Puts the named jobs on the clipboard. Message 102 when the clipboard
    // does not take the data. True when the payload is on the clipboard.
    static bool Copy(CRegInterface& store, const std::vector<std::string>& names);

    // Copy, then, once the payload is on the clipboard, deletes the jobs that
    // went into it from the store, each only while it is stored as copied (a
    // job changed meanwhile stays). Nothing is deleted when the copy failed.
    static bool Cut(CRegInterface& store, const std::vector<std::string>& names);

    // Adds every job of the clipboard's payload to the store, putting the
    // prefix of string 142 ("Kopia") in front of a name while it is taken and
    // clearing the last start. Message 102 when the clipboard cannot be read,
    // 103 when it holds no jobs or its payload is damaged (the jobs before the
    // damage are added). Returns the number of jobs added.
    static int Paste(CRegInterface& store);

    // The name under which a pasted job is added: the prefix in front of the
    // name while the store holds a job of that name. Stops when the prefix no
    // longer changes the name (it is cut at the longest job name), so the
    // store's add then reports the name as taken.
    static std::string FreeName(CRegInterface& store, const std::string& name);

private:
    // A job that went onto the clipboard: its name and its record there.
    using Copied = std::vector<std::pair<std::string, std::vector<BYTE>>>;

    static QClipboard* Board();
    // The payload of the named jobs that the store still holds; copied
    // receives their names and records.
    static std::vector<BYTE> BuildPayload(CRegInterface& store,
                                          const std::vector<std::string>& names, Copied& copied);
    // Builds the payload of the named jobs and hands it to the clipboard;
    // copied receives what went into it.
    static bool Publish(CRegInterface& store, const std::vector<std::string>& names,
                        Copied& copied);
};
