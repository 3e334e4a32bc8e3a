#include "files/signal_cleanup.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

// Every signal whose default action ends the process, but the real-time ones
// (added at run time: their numbers are the C library's to choose). Those a
// fault of the running code brings are never held back: a thread that held
// them back would be killed on the spot.
constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS,  SIGFPE,
                            SIGUSR1, SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM,   SIGTERM, SIGSTKFLT, SIGXCPU,
                            SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO, SIGPWR,    SIGSYS};
constexpr int kFaultSignals[] = {SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};
constexpr int kSlots = 64;

bool brought_by_a_fault(int signal) {
    for (const int fault : kFaultSignals)
        if (fault == signal) return true;
    return false;
}

// Calls `each` with every signal that ends the process by default.
template <typename Each>
void for_each_ending_signal(Each each) {
    for (const int signal : kSignals) each(signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) each(signal);
}

// The signals a step holds back, and the handler while it runs.
sigset_t held_back() {
    sigset_t held;
    sigemptyset(&held);
    for_each_ending_signal([&](int signal) {
        if (!brought_by_a_fault(signal)) sigaddset(&held, signal);
    });
    return held;
}

// A slot is claimed (filling), then published (used) once its path is complete.
enum : int { kFree, kFilling, kUsed };
struct Slot {
    std::atomic<int> state{kFree};
    bool folder = false;
    char path[PATH_MAX];
};
Slot slots[kSlots];

// idle: nothing under way; step: a thread is in an Uninterrupted step;
// aborting: a signal is removing the temporaries (for good).
enum : int { kIdle, kStep, kAborting };
std::atomic<int> phase{kIdle};

struct sigaction previous[_NSIG];
std::atomic<bool> installed{false};
std::atomic<bool> host_handles{false};

thread_local int steps_held = 0;  // Uninterrupted steps of this thread

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void remove_and_go_on(int signal, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    // A fault in the middle of a step of this very thread (the others are
    // held back): nothing is removed, since a set half renamed keeps its
    // journal for the next writer (atomic_outputs.hpp), and waiting for the
    // step would wait for ever.
    const bool in_own_step = steps_held > 0;
    // A step under way (on another thread: the one taking it holds the
    // signals back) is let end; then no other can start.
    for (; !in_own_step;) {
        int expected = kIdle;
        if (phase.compare_exchange_strong(expected, kAborting) || expected == kAborting) break;
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    for (Slot& slot : slots) {
        if (in_own_step || slot.state.load(std::memory_order_acquire) != kUsed) continue;
        if (slot.folder) remove_folder(slot.path);
        else unlink(slot.path);
    }
    const struct sigaction& before = previous[signal];
    if ((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction != nullptr) {
        before.sa_sigaction(signal, info, context);
    } else if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN && before.sa_handler != nullptr) {
        before.sa_handler(signal);
    } else {
        // The default action, once this handler returns (the signal is
        // blocked until then): the process ends by the signal.
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        sigemptyset(&default_action.sa_mask);
        sigaction(signal, &default_action, nullptr);
        raise(signal);
    }
    errno = saved_errno;
}

void install() {
    if (installed.exchange(true)) return;
    struct sigaction action {};
    action.sa_sigaction = remove_and_go_on;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    action.sa_mask = held_back();
    for_each_ending_signal([&](int signal) {
        if (sigaction(signal, nullptr, &previous[signal]) != 0) return;
        const bool handled = (previous[signal].sa_flags & SA_SIGINFO) != 0 || previous[signal].sa_handler != SIG_DFL;
        // A host (the Python module) that handles a signal itself keeps it.
        if (host_handles && handled) return;
        if ((previous[signal].sa_flags & SA_SIGINFO) == 0 && previous[signal].sa_handler == SIG_IGN) return;
        sigaction(signal, &action, nullptr);
    });
}

}  // namespace

int remove_on_signal(const std::string& path, bool folder) {
    if (path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    install();
    for (int k = 0; k < kSlots; ++k) {
        Slot& slot = slots[k];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.folder = folder;
        slot.state.store(kUsed, std::memory_order_release);
        return k;
    }
    errno = EMFILE;
    return -1;
}

void leave_handled_signals_to_host() { host_handles = true; }

void forget_on_signal(int slot) {
    if (slot >= 0 && slot < kSlots) slots[slot].state.store(kFree, std::memory_order_release);
}

namespace {

// Removes every entry of the open folder `fd`, folders in it too (a few
// levels down), but the lock file when `keep_lock`.
void empty(int fd, bool keep_lock, int depth) {
    alignas(dirent64) char buffer[4096];
    bool removed_any = true;
    while (removed_any) {  // read again from the start until nothing more goes
        removed_any = false;
        lseek(fd, 0, SEEK_SET);
        for (;;) {
            const ssize_t got = getdents64(fd, buffer, sizeof buffer);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                const char* name = entry->d_name;
                if (is_dot_or_dot_dot(name) || (keep_lock && std::strcmp(name, kFolderLock) == 0)) continue;
                if (unlinkat(fd, name, 0) == 0) {
                    removed_any = true;
                } else if (errno == EISDIR && depth < 8) {
                    const int inner = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (inner >= 0) {
                        empty(inner, false, depth + 1);
                        close(inner);
                    }
                    if (unlinkat(fd, name, AT_REMOVEDIR) == 0) removed_any = true;
                }
            }
        }
    }
}

}  // namespace

void empty_folder(int fd) { empty(fd, true, 0); }

bool remove_folder(const char* path) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    empty(fd, true, 0);
    unlinkat(fd, kFolderLock, 0);
    close(fd);
    return rmdir(path) == 0 || errno == ENOENT;
}

Uninterrupted::Uninterrupted() {
    const sigset_t held = held_back();
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
    if (steps_held > 0) {
        allowed_ = phase.load() == kStep;
        ++steps_held;
        return;
    }
    for (;;) {
        int expected = kIdle;
        if (phase.compare_exchange_strong(expected, kStep)) {
            allowed_ = true;
            break;
        }
        if (expected == kAborting) break;
        // Another thread's step: let it end.
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    outermost_ = allowed_;
    ++steps_held;
}

Uninterrupted::~Uninterrupted() {
    --steps_held;
    if (outermost_) phase.store(kIdle);
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}
