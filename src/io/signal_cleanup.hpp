// Files a process must not leave behind when a signal ends it: the
// temporaries it is writing and the lock that marks them. On SIGINT, SIGTERM
// or SIGHUP every registered path is unlinked (nothing else runs in the
// handler), then the signal takes its course: the handler that was there
// before, or the default one, so the parent sees the process end by it. A
// signal ignored when the first path is registered (nohup) stays ignored.
#pragma once

#include <signal.h>

#include <string>

// Registers `path` for removal; returns its slot, or -1 when every slot is
// taken or the path is longer than any path the system opens (the caller
// then does not create the file).
int remove_on_signal(const std::string& path);

// Forgets a slot (-1 is ignored): the file was renamed or removed.
void forget_on_signal(int slot);

// Holds SIGINT, SIGTERM and SIGHUP back from the calling thread while it
// lives, so that a sequence of renames is never cut in the middle; a signal
// that came meanwhile takes effect at the end. Meant for the moment the
// program runs on one thread.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_;
};
