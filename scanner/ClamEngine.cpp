#include "ClamEngine.h"

#include "ClamLibrary.h"

#include <algorithm>
#include <cerrno>
#include <clamav.h>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace {

// What the callbacks of one scan share: the stop flag they obey and the
// name of the alert they saw.
struct ScanContext {
    const std::atomic<bool>* stop;
    std::string name;
};

// Stops a scan at the next file inside it once the scan is to end.
cl_error_t OnPreScan(int, const char*, void* context) {
    const auto* scan = static_cast<const ScanContext*>(context);
    return scan && scan->stop->load(std::memory_order_relaxed) ? CL_BREAK : CL_CLEAN;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Keeps the name of the alert: the library does not always return it with
// the result. A signature's name wins over a heuristic one seen before it.
void OnVirusFound(int, const char* virname, void* context) {
    auto* scan = static_cast<ScanContext*>(context);
    if (!scan || !virname || !*virname)
        return;
    if (scan->name.empty() || StartsWith(scan->name.c_str(), "Heuristics."))
        scan->name = virname;
}

const char kAdvice[] = "zainstaluj pakiet clamav-freshclam albo uruchom freshclam; folder "
                       "wskazuje wartość „Signatures” ustawień programu lub zmienna "
                       "VEX_SIGNATURES";

// Alerts that say a file could not be examined whole: errors, not findings.
bool IsIncompleteScan(const char* name, std::string& reason) {
    if (StartsWith(name, "Heuristics.Limits.Exceeded")) {
        reason = std::string("nie sprawdzono w całości: przekroczony limit silnika (") + name + ")";
        return true;
    }
    if (StartsWith(name, "Heuristics.Encrypted")) {
        reason = std::string("nie sprawdzono: plik zaszyfrowany (") + name + ")";
        return true;
    }
    return false;
}

bool IsEmptyFolder(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::is_empty(folder, ec) && !ec;
}

// The verdict on an alert: only a named signature is an infection.
CVerdict Finding(const std::string& name) {
    CVerdict verdict;
    verdict.m_eKind = CVerdict::kError;
    if (name.empty() || name == "?")
        verdict.m_strText = "nie sprawdzono: silnik zgłosił alarm bez nazwy sygnatury";
    else if (!IsIncompleteScan(name.c_str(), verdict.m_strText))
        verdict = CVerdict{StartsWith(name.c_str(), "Heuristics.") ? CVerdict::kSuspicious
                                                                   : CVerdict::kInfected,
                           name};
    return verdict;
}

} // namespace

CClamEngine::CClamEngine() = default;

CClamEngine::~CClamEngine() {
    if (m_pEngine)
        cl_engine_free(m_pEngine);
}

std::string CClamEngine::Version() {
    return cl_retver();
}

std::string CClamEngine::Fingerprint(const std::string& folder) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        struct stat st {};
        const std::string path = entry.path().string();
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::string line = entry.path().filename().string() + " " + std::to_string(st.st_size) +
                           " " + std::to_string(st.st_mtim.tv_sec) + "." +
                           std::to_string(st.st_mtim.tv_nsec);
        const std::string ext = entry.path().extension().string();
        if (ext == ".cvd" || ext == ".cld") {
            if (cl_cvd* head = cl_cvdhead(path.c_str())) {
                line += " v" + std::to_string(head->version);
                cl_cvdfree(head);
            }
        }
        lines.push_back(line);
    }
    if (lines.empty())
        return std::string();
    std::sort(lines.begin(), lines.end());
    std::string text = "libclamav " + Version();
    for (const std::string& line : lines)
        text += "\n" + line;
    return text;
}

bool CClamEngine::Load(const std::string& folder, std::string& error) {
    const std::string where = "folder sygnatur " + folder + ": ";
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error =
            where + (folder.empty() ? "nie wskazano folderu"
                                    : std::string("nie istnieje (") + std::strerror(errno) + ")");
        error += "; " + std::string(kAdvice);
        return false;
    }
    if (IsEmptyFolder(folder)) {
        error = where + "jest pusty; " + kAdvice;
        return false;
    }
    if (!InitClamLibrary(error))
        return false;
    m_pEngine = cl_engine_new();
    if (!m_pEngine) {
        error = "nie można utworzyć silnika (brak pamięci)";
        return false;
    }
    CClamMessages sink;
    cl_error_t rc = cl_load(folder.c_str(), m_pEngine, &m_nSignatures, CL_DB_STDOPT);
    if (rc != CL_SUCCESS) {
        error = where + "nie można wczytać sygnatur: " + cl_strerror(rc);
        if (!sink.text.empty())
            error += " (" + sink.text + ")";
        error += "; " + std::string(kAdvice);
        return false;
    }
    if (m_nSignatures == 0) {
        error = where + "nie zawiera żadnych sygnatur; " + kAdvice;
        return false;
    }
    rc = cl_engine_compile(m_pEngine);
    if (rc != CL_SUCCESS) {
        error = where + "nie można przygotować sygnatur: " + cl_strerror(rc);
        if (!sink.text.empty())
            error += " (" + sink.text + ")";
        return false;
    }
    cl_engine_set_clcb_pre_scan(m_pEngine, OnPreScan);
    cl_engine_set_clcb_virus_found(m_pEngine, OnVirusFound);
    m_bCompiled = true;
    return true;
}

unsigned long long CClamEngine::MaxFileSize() const {
    int err = 0;
    const long long size =
        m_pEngine ? cl_engine_get_num(m_pEngine, CL_ENGINE_MAX_FILESIZE, &err) : 0;
    return err == CL_SUCCESS && size > 0 ? static_cast<unsigned long long>(size) : 0;
}

CVerdict CClamEngine::Scan(int fd, std::string_view content, const std::string& path,
                           bool heuristic, const std::atomic<bool>& stop) const {
    CVerdict verdict;
    if (!m_bCompiled) {
        verdict.m_eKind = CVerdict::kError;
        verdict.m_strText = "silnik nie jest gotowy";
        return verdict;
    }
    cl_scan_options options{};
    options.parse = ~0u;
    // Limits and encryption always raise an alert, so that such files count
    // as errors. Heuristics are the command line scanner's defaults: the
    // broken-executable, macro and phishing alerts stay off, since they call
    // ordinary programs and office documents suspicious.
    options.heuristic = CL_SCAN_HEURISTIC_EXCEEDS_MAX | CL_SCAN_HEURISTIC_ENCRYPTED_ARCHIVE |
                        CL_SCAN_HEURISTIC_ENCRYPTED_DOC;
    if (heuristic)
        options.general |= CL_SCAN_GENERAL_HEURISTICS;
    const char* name = nullptr;
    unsigned long scanned = 0;
    ScanContext context{&stop, {}};
    CClamMessages sink;
    // Content already in memory is scanned where it is: the library then
    // neither reads the file again nor pages it into a map of its own, whose
    // page faults cost every other worker thread a TLB flush.
    cl_fmap_t* map =
        content.empty() ? nullptr : cl_fmap_open_memory(content.data(), content.size());
    cl_error_t rc =
        map ? cl_scanmap_callback(map, path.c_str(), &name, &scanned, m_pEngine, &options, &context)
            : cl_scandesc_callback(fd, path.c_str(), &name, &scanned, m_pEngine, &options,
                                   &context);
    if (map)
        cl_fmap_close(map);
    if (stop.load(std::memory_order_relaxed) && rc != CL_VIRUS) {
        verdict.m_eKind = CVerdict::kStopped;
        return verdict;
    }
    switch (rc) {
    case CL_CLEAN:
        return verdict;
    case CL_VIRUS:
        return Finding(context.name.empty() && name ? std::string(name) : context.name);
    default:
        verdict.m_eKind = CVerdict::kError;
        verdict.m_strText = std::string("silnik nie sprawdził pliku: ") + cl_strerror(rc);
        if (!sink.text.empty())
            verdict.m_strText += " (" + sink.text + ")";
        return verdict;
    }
}
