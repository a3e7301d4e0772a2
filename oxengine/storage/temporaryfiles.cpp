#include "oxengine/storage/temporaryfiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A slot is free, being filled, holds a path, is being emptied by the
// handler, or was emptied by it (and stays taken until its guard ends). Only
// lock-free atomics and unlink are used in the handler.
constexpr int FREE = 0, FILLING = 1, HELD = 2, CLEANING = 3, CLEANED = 4;
constexpr int SLOTS = 32;

struct Slot {
    std::atomic<int> state{FREE};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

Slot slots[SLOTS];

constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(SIGNALS)];

void removeRegistered()
{
    for (Slot& slot : slots) {
        int held = HELD;
        if (slot.state.compare_exchange_strong(held, CLEANING)) {
            unlink(slot.path);
            slot.state.store(CLEANED);
        }
    }
}

void onSignal(int number, siginfo_t* info, void* context)
{
    const int saved = errno;
    removeRegistered();
    for (size_t i = 0; i < std::size(SIGNALS); ++i) {
        if (SIGNALS[i] != number)
            continue;
        const struct sigaction& old = previous[i];
        if (old.sa_flags & SA_SIGINFO) {
            if (old.sa_sigaction) {
                old.sa_sigaction(number, info, context);
                errno = saved;
                return;
            }
        } else if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN) {
            old.sa_handler(number);
            errno = saved;
            return;
        }
        // The usual course: end the process by this signal.
        signal(number, SIG_DFL);
        raise(number);
    }
    errno = saved;
}

void installHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t i = 0; i < std::size(SIGNALS); ++i) {
            struct sigaction old;
            if (sigaction(SIGNALS[i], nullptr, &old) != 0 || (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN))
                continue; // an ignored signal (nohup) ends nothing
            previous[i] = old;
            struct sigaction ours {};
            ours.sa_sigaction = onSignal;
            ours.sa_flags = SA_SIGINFO | SA_RESTART;
            sigemptyset(&ours.sa_mask);
            sigaction(SIGNALS[i], &ours, nullptr);
        }
    });
}

bool hasPrefix(const char* name, std::string_view prefix)
{
    return std::strncmp(name, prefix.data(), prefix.size()) == 0;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

} // namespace

std::string oxTemporaryStem(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Room for the prefix and the random part within the usual 255 bytes.
    if (name.size() > 200)
        name.resize(200);
    return folder + std::string(OX_TEMPORARY_PREFIX) + name + ".";
}

oxTemporaryGuard::oxTemporaryGuard(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return;
    installHandler();
    for (int i = 0; i < SLOTS; ++i) {
        int expected = FREE;
        if (!slots[i].state.compare_exchange_strong(expected, FILLING))
            continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(HELD);
        m_slot = i;
        return;
    }
}

oxTemporaryGuard::~oxTemporaryGuard()
{
    if (m_slot < 0)
        return;
    std::atomic<int>& state = slots[m_slot].state;
    // A handler emptying the slot on another thread is done in a moment.
    for (;;) {
        int now = state.load();
        if (now != CLEANING && state.compare_exchange_weak(now, FREE))
            return;
    }
}

int oxRemoveStaleTemporaries(const std::string& folder, double maxAgeSeconds)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        return 0;
    const int fd = dirfd(dir.get());
    const double now = double(std::time(nullptr));
    int removed = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (!hasPrefix(entry->d_name, OX_TEMPORARY_PREFIX) && !hasPrefix(entry->d_name, OX_COPY_PREFIX))
            continue;
        struct stat st;
        if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid() || now - double(st.st_mtim.tv_sec) < maxAgeSeconds)
            continue;
        if (unlinkat(fd, entry->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}
