#include "ClamEngine.h"

#include <cerrno>
#include <clamav.h>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>

namespace {

// The library's messages go to whoever asked on this thread (a load or a
// scan collects its errors), never straight to the terminal.
thread_local std::string* t_pMessages = nullptr;

void OnMessage(enum cl_msg severity, const char*, const char* msg, void*) {
    if (severity != CL_MSG_ERROR || !t_pMessages || !msg)
        return;
    std::string text = msg;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!t_pMessages->empty())
        *t_pMessages += "; ";
    *t_pMessages += text;
}

struct MessageSink {
    std::string text;
    MessageSink() { t_pMessages = &text; }
    ~MessageSink() { t_pMessages = nullptr; }
};

bool InitLibrary(std::string& error) {
    static std::once_flag once;
    static cl_error_t result = CL_SUCCESS;
    std::call_once(once, [] {
        cl_set_clcb_msg(OnMessage);
        result = cl_init(CL_INIT_DEFAULT);
    });
    if (result != CL_SUCCESS)
        error = std::string("nie można uruchomić silnika: ") + cl_strerror(result);
    return result == CL_SUCCESS;
}

// Stops a scan at the next file inside it once the scan is to end.
cl_error_t OnPreScan(int, const char*, void* context) {
    const auto* stop = static_cast<const std::atomic<bool>*>(context);
    return stop && stop->load(std::memory_order_relaxed) ? CL_BREAK : CL_CLEAN;
}

const char kAdvice[] = "zainstaluj pakiet clamav-freshclam albo uruchom freshclam; folder "
                       "wskazuje wartość „Signatures” ustawień programu lub zmienna "
                       "VEX_SIGNATURES";

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

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

} // namespace

CClamEngine::CClamEngine() = default;

CClamEngine::~CClamEngine() {
    if (m_pEngine)
        cl_engine_free(m_pEngine);
}

std::string CClamEngine::Version() {
    return cl_retver();
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
    if (!InitLibrary(error))
        return false;
    m_pEngine = cl_engine_new();
    if (!m_pEngine) {
        error = "nie można utworzyć silnika (brak pamięci)";
        return false;
    }
    MessageSink sink;
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
    m_bCompiled = true;
    return true;
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
    // as errors; the heuristic detections themselves follow the job's option.
    options.heuristic = CL_SCAN_HEURISTIC_EXCEEDS_MAX | CL_SCAN_HEURISTIC_ENCRYPTED_ARCHIVE |
                        CL_SCAN_HEURISTIC_ENCRYPTED_DOC;
    if (heuristic) {
        options.general |= CL_SCAN_GENERAL_HEURISTICS;
        options.heuristic |= CL_SCAN_HEURISTIC_BROKEN | CL_SCAN_HEURISTIC_MACROS |
                             CL_SCAN_HEURISTIC_PHISHING_SSL_MISMATCH |
                             CL_SCAN_HEURISTIC_PHISHING_CLOAK;
    }
    const char* name = nullptr;
    unsigned long scanned = 0;
    void* context = const_cast<std::atomic<bool>*>(&stop);
    MessageSink sink;
    // Content already in memory is scanned where it is: the library then
    // neither reads the file again nor pages it into a map of its own, whose
    // page faults cost every other worker thread a TLB flush.
    cl_fmap_t* map =
        content.empty() ? nullptr : cl_fmap_open_memory(content.data(), content.size());
    cl_error_t rc =
        map ? cl_scanmap_callback(map, path.c_str(), &name, &scanned, m_pEngine, &options, context)
            : cl_scandesc_callback(fd, path.c_str(), &name, &scanned, m_pEngine, &options, context);
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
        if (name && IsIncompleteScan(name, verdict.m_strText)) {
            verdict.m_eKind = CVerdict::kError;
        } else {
            verdict.m_eKind = CVerdict::kInfected;
            verdict.m_strText = name ? name : "?";
        }
        return verdict;
    default:
        verdict.m_eKind = CVerdict::kError;
        verdict.m_strText = std::string("silnik nie sprawdził pliku: ") + cl_strerror(rc);
        if (!sink.text.empty())
            verdict.m_strText += " (" + sink.text + ")";
        return verdict;
    }
}
