#include "signal_cleanup.hpp"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSlots = 16;

// Fixed storage, so that the handler reads no memory the program may free.
struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX];
};
Slot slots[kSlots];

struct sigaction previous[3];
std::atomic<bool> installed{false};

int index_of(int signal) {
    for (int k = 0; k < 3; ++k)
        if (kSignals[k] == signal) return k;
    return 0;
}

void remove_and_go_on(int signal, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    for (Slot& slot : slots)
        if (slot.used.load(std::memory_order_acquire)) unlink(slot.path);
    const struct sigaction& before = previous[index_of(signal)];
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
    for (int k = 0; k < 3; ++k) {
        sigaction(kSignals[k], nullptr, &previous[k]);
        if ((previous[k].sa_flags & SA_SIGINFO) == 0 && previous[k].sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_sigaction = remove_and_go_on;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(kSignals[k], &action, nullptr);
    }
}

}  // namespace

int remove_on_signal(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    install();
    for (int k = 0; k < kSlots; ++k) {
        Slot& slot = slots[k];
        if (slot.used.load(std::memory_order_relaxed)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used.store(true, std::memory_order_release);
        return k;
    }
    return -1;
}

void forget_on_signal(int slot) {
    if (slot >= 0 && slot < kSlots) slots[slot].used.store(false, std::memory_order_release);
}

SignalsHeld::SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kSignals) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
