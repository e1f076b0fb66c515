#include "DesktopRegistration.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Installed desktop entries are read to learn which program they start. Any
// bytes must read without harm, and every program path that registration
// writes into an entry must read back unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)CDesktopRegistration::ExecProgramOf(bytes);

    const QString path = "/" + QString::fromUtf8(bytes);
    const QByteArray entry = CDesktopRegistration(path).DesktopEntry();
    if (!entry.isEmpty() && CDesktopRegistration::ExecProgramOf(entry) != path)
        std::abort();
    return 0;
}
