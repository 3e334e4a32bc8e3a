// What a process must not leave behind when a signal ends it (any signal
// whose default action ends the process: SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM, SIGPIPE, SIGXFSZ, the real-time ones... and those a fault
// brings, SIGSEGV, SIGBUS, SIGABRT...): the temporary folders of the outputs it is writing (atomic_outputs.hpp)
// and the temporaries of other processes it writes into. One registry for the
// whole process, in fixed storage, so that the handler reads no memory the
// program may free and calls nothing but system calls.
//
// The handler is installed when the first path is registered. It removes
// every registered path, then lets the signal take its course: the handler
// that was there before, or the default action, so the parent sees the
// process end by that signal. A signal ignored at that moment (nohup) stays
// ignored.
//
// A step that must not be cut in the middle (Uninterrupted) makes a signal
// wait for it, on whichever thread the signal comes, so that a set of
// outputs is never left half renamed. A fault on the thread of the step
// itself cannot wait: the process then ends removing nothing, and the set's
// journal lets the next writer make it whole (atomic_outputs.hpp).
#pragma once

#include <signal.h>

#include <string>

// The lock file of a temporary folder: whoever holds it owns the folder.
inline constexpr const char* kFolderLock = ".lock";

// Registers `path` for removal: a file (unlinked) or a temporary folder
// (remove_folder). Returns its slot, or -1 with errno set when every slot is
// taken (EMFILE) or the path is longer than any the system opens
// (ENAMETOOLONG).
int remove_on_signal(const std::string& path, bool folder);

// Forgets a slot (-1 is ignored): the file was renamed or removed.
void forget_on_signal(int slot);

// For a host process that handles some of these signals itself and goes on
// (Python turns SIGINT into a KeyboardInterrupt that stops the command, whose
// outputs are then given up as on any failure): a signal that already has a
// handler when the first path is registered is left to it. Call it before.
void leave_handled_signals_to_host();

// Empties the folder `path` and removes it, with system calls only. Its lock
// file goes after every other entry, so that whoever holds it keeps the
// folder to itself until it is empty. False when the folder is still there.
bool remove_folder(const char* path);

// Removes every entry of the open folder `fd` but its lock file.
void empty_folder(int fd);

// A step that a signal must not cut in the middle: registering a temporary
// folder, putting outputs in place, removing a folder once done. While it
// lives every ending signal but those of a fault is held back from the
// calling thread (and takes effect at its end), and a handler running on another thread waits for
// it before removing anything. allowed() is false when a signal is already
// removing the temporaries: the step must then not be taken. Steps nest on
// one thread. Between its start and its end the thread must not allocate
// memory (the waiting handler may have interrupted an allocation).
class Uninterrupted {
public:
    Uninterrupted();
    ~Uninterrupted();
    Uninterrupted(const Uninterrupted&) = delete;
    Uninterrupted& operator=(const Uninterrupted&) = delete;
    bool allowed() const { return allowed_; }

private:
    sigset_t saved_;
    bool allowed_ = false;
    bool outermost_ = false;
};
