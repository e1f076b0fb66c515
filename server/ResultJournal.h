#pragma once

// A scan's result where the logs of many machines are collected: in the
// systemd journal as an entry with fields of its own (MESSAGE_ID
// kResultMessageId, VEX_JOB, VEX_RESULT, VEX_EXIT_CODE, VEX_FILES,
// VEX_INFECTED, VEX_ERRORS), so that `journalctl VEX_JOB=Dom` finds it and
// a collector receives it as data; as a plain line of the server's log when
// no journal takes it. When the server's standard error is the journal
// already, the line is not written twice.

#include "JobResult.h"

#include <functional>
#include <string>

// The journal's message id of a scan's result; fixed for good, so that
// filters and catalogues may rely on it.
inline constexpr const char* kResultMessageId = "c29ba42008cc42ca99b60371e1605977";

// "Analiza „Dom” zakończona: czysto (plików 12, zainfekowanych 0, błędów 0)"
std::string ResultMessage(const std::string& name, const CJobResult& result);

// True when standard error is connected to the journal (JOURNAL_STREAM
// names its device and inode).
bool StandardErrorIsJournal();

// Sends the result to the journal; without a journal, or when standard error
// is no journal stream, logLine gets the plain text as well.
void JournalResult(const std::string& name, const CJobResult& result,
                   const std::function<void(const std::string&)>& logLine);
