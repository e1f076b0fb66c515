#include "TemporaQuarantine.h"

#include "JobReport.h"
#include "JobResult.h"
#include "Quarantine.h"
#include "StatePaths.h"
#include "TemporaSession.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string RecordState(const CQuarantineEntry& entry) {
    return entry.m_bHasRecord ? "ok" : entry.m_strRecordError.empty() ? "missing" : "damaged";
}

std::string JsonEntry(const CQuarantineEntry& e) {
    const CQuarantineRecord& r = e.m_record;
    auto orNull = [&e](const std::string& json) { return e.m_bHasRecord ? json : "null"; };
    return "{\"id\": " + JsonString(e.m_strId) + ", \"file\": " + JsonString(e.m_strFile) +
           ", \"record\": " + JsonString(RecordState(e)) +
           (e.m_strRecordError.empty() ? ""
                                       : ", \"recordError\": " + JsonString(e.m_strRecordError)) +
           ", \"path\": " + orNull(JsonString(r.m_strPath)) +
           ", \"finding\": " + orNull(JsonString(r.m_strFinding)) +
           ", \"job\": " + orNull(JsonString(r.m_strJob)) +
           ", \"time\": " + JsonString(LocalIsoTime(e.m_nTime)) +
           ", \"size\": " + std::to_string(e.m_nSize) +
           ", \"owner\": " + orNull(std::to_string(r.m_uid)) +
           ", \"group\": " + orNull(std::to_string(r.m_gid)) +
           ", \"mode\": " + orNull(JsonString(ModeText(r.m_mode))) +
           ", \"sha256\": " + orNull(JsonString(r.m_strSha256)) + "}";
}

std::string TextEntry(const CQuarantineEntry& e) {
    std::string where;
    if (e.m_bHasRecord)
        where = e.m_record.m_strPath;
    else if (e.m_strRecordError.empty())
        where = "(bez zapisu, plik " + e.m_strFile + ")";
    else
        where = "(zapis uszkodzony: " + e.m_strRecordError + "; plik " + e.m_strFile + ")";
    return PlainText(e.m_strId) + "  " + LocalIsoTime(e.m_nTime) + "  " +
           std::to_string(e.m_nSize) + " B  " +
           PlainText(e.m_bHasRecord ? e.m_record.m_strFinding : "?") + "  " +
           PlainText(e.m_bHasRecord ? e.m_record.m_strJob : "?") + "  " + PlainText(where);
}

int Refuse(std::FILE* err, const std::string& message) {
    std::fprintf(err, "tempora: %s\n", PlainText(message).c_str());
    return kExitRefused;
}

int List(const CQuarantine& quarantine, bool json, std::FILE* out, std::FILE* err) {
    std::vector<CQuarantineEntry> entries;
    std::string error;
    if (!quarantine.List(entries, error))
        return Refuse(err, error);
    if (json) {
        std::string text = "[";
        for (size_t i = 0; i < entries.size(); ++i)
            text += (i ? ",\n " : "") + JsonEntry(entries[i]);
        std::fprintf(out, "%s]\n", text.c_str());
    } else if (entries.empty()) {
        std::fputs("Kwarantanna jest pusta.\n", out);
    } else {
        for (const CQuarantineEntry& entry : entries)
            std::fprintf(out, "%s\n", TextEntry(entry).c_str());
    }
    return kExitOk;
}

int Restore(const CQuarantine& quarantine, const CQuarantineEntry& entry, std::string to,
            std::FILE* out, std::FILE* err) {
    if (!to.empty() && to[0] != '/') {
        std::error_code ec;
        to = std::filesystem::absolute(to, ec).lexically_normal().string();
    }
    std::string restored, error;
    switch (quarantine.Restore(entry, to, restored, error)) {
    case ERestore::kRestored:
        std::fprintf(out, "Przywrócono: %s\n", PlainText(restored).c_str());
        return kExitOk;
    case ERestore::kExists:
        return Refuse(err, "plik „" + (to.empty() ? entry.m_record.m_strPath : to) +
                               "” już istnieje; nic nie nadpisano (inne miejsce: --to ŚCIEŻKA)");
    case ERestore::kFailed:
        break;
    }
    return Refuse(err, error);
}

} // namespace

int RunQuarantineCommand(const CTemporaRequest& request, std::FILE* out, std::FILE* err) {
    const CQuarantine quarantine(StateRoot());
    if (request.quarantine == QuarantineAction::List)
        return List(quarantine, request.bJson, out, err);
    std::string error;
    if (request.quarantine == QuarantineAction::Purge) {
        const int removed =
            quarantine.Purge(static_cast<int>(request.nDays), std::time(nullptr), error);
        std::fprintf(out, "Usunięto z kwarantanny plików: %d\n", removed);
        return error.empty() ? kExitOk : Refuse(err, error);
    }
    CQuarantineEntry entry;
    if (!quarantine.Find(request.strId, entry, error))
        return Refuse(err, error);
    if (request.quarantine == QuarantineAction::Restore)
        return Restore(quarantine, entry, request.strTo, out, err);
    if (!quarantine.Delete(entry, error))
        return Refuse(err, error);
    std::fprintf(out, "Usunięto z kwarantanny: %s\n", PlainText(entry.m_strId).c_str());
    return kExitOk;
}
