#include "ScanModules.h"

#include <climits>
#include <dlfcn.h>
#include <unistd.h>

namespace {

// The folder of the running program, with its trailing slash.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string program(path, static_cast<size_t>(n));
    return program.substr(0, program.rfind('/') + 1);
}

} // namespace

void* LoadModuleEntry(const char* module, const char* entry, std::string& error) {
    const std::string folder = ProgramFolder();
    if (folder.empty()) {
        error = "nie można ustalić folderu programu";
        return nullptr;
    }
    const std::string file = folder + VEXSCAN_MODULE_DIR + "/" + module;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        error = reason ? reason : file + ": nie można wczytać";
        return nullptr;
    }
    // The module stays loaded for the rest of the run.
    void* function = ::dlsym(handle, entry);
    if (!function)
        error = file + ": brak funkcji " + entry + " (moduł z innej wersji programu)";
    return function;
}
