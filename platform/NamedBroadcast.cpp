#include "NamedBroadcast.h"

#include "NameSecret.h"
#include "NamedEvent.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr size_t kSize = sizeof(uint32_t);

std::atomic_ref<uint32_t> Counter(uint32_t* p) {
    return std::atomic_ref<uint32_t>(*p);
}

// Without FUTEX_PRIVATE_FLAG: the word is shared with other processes.
long Futex(uint32_t* pWord, int op, uint32_t value, const timespec* pTimeout) {
    return syscall(SYS_futex, pWord, op, value, pTimeout, nullptr, 0);
}

long long MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

static_assert(std::atomic_ref<uint32_t>::is_always_lock_free, "shared between processes");

std::string CNamedBroadcast::SharedName(const char* pszName) {
    const std::string name = CNamedEvent::SemaphoreName(pszName);
    return name.empty() ? name : name + ".all";
}

void CNamedBroadcast::Remove(const char* pszName) {
    shm_unlink(SharedName(pszName).c_str());
}

CNamedBroadcast::CNamedBroadcast(const char* pszName) {
    const std::string stem = SecretNameStem(true);
    if (stem.empty())
        return;
    const std::string name = SharedName(pszName);
    m_pUse = std::make_unique<CNameUse>(stem);
    m_pUse->AddSharedMemory(name);
    if (!Open(name))
        m_pUse->Forget();
}

bool CNamedBroadcast::Open(const std::string& name) {
    const int fd = name.empty() ? -1 : shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    // Only the user's own counter: anyone else's could be made to lie.
    bool bUsable = fstat(fd, &st) == 0 && st.st_uid == getuid() && (st.st_mode & 0077) == 0;
    // A new object is empty; growing it to the counter's size fills it with
    // zeros, and an opener that races the creator grows it to the same size.
    if (bUsable && st.st_size < static_cast<off_t>(kSize))
        bUsable = ftruncate(fd, kSize) == 0;
    void* p =
        bUsable ? mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    if (p == MAP_FAILED)
        return false;
    m_pCounter = static_cast<uint32_t*>(p);
    m_nSeen = Counter(m_pCounter).load(std::memory_order_acquire);
    return true;
}

CNamedBroadcast::~CNamedBroadcast() {
    if (m_pCounter != nullptr)
        munmap(m_pCounter, kSize);
}

bool CNamedBroadcast::Set() {
    if (m_pCounter == nullptr)
        return false;
    Counter(m_pCounter).fetch_add(1, std::memory_order_acq_rel);
    Futex(m_pCounter, FUTEX_WAKE, INT_MAX, nullptr);
    return true;
}

bool CNamedBroadcast::Wait(int nTimeoutMs) {
    if (m_pCounter == nullptr)
        return false;
    const long long deadline = MonotonicMs() + (nTimeoutMs > 0 ? nTimeoutMs : 0);
    for (;;) {
        const uint32_t current = Counter(m_pCounter).load(std::memory_order_acquire);
        if (current != m_nSeen) {
            m_nSeen = current;
            return true;
        }
        if (nTimeoutMs == 0)
            return false;
        timespec left{};
        if (nTimeoutMs > 0) {
            const long long ms = deadline - MonotonicMs();
            if (ms <= 0)
                return false;
            left.tv_sec = static_cast<time_t>(ms / 1000);
            left.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
        }
        // Returns at once when the counter moved after the load above; a
        // wake-up, a timeout or an interruption all lead back to the test.
        Futex(m_pCounter, FUTEX_WAIT, current, nTimeoutMs > 0 ? &left : nullptr);
    }
}
