// Stop requests from Python while C++ works without the GIL.
//
// Python's own handler of SIGINT only notes the signal; the KeyboardInterrupt
// is raised when the interpreter next runs, which it cannot do while a long
// computation holds the thread. So the computation asks, now and then, through
// PythonInterruption::check. Whenever the share done has grown by a whole
// percent, or kInterval has passed, it takes the GIL back, runs the pending
// signal handlers (Ctrl-C raises KeyboardInterrupt there) and the caller's
// progress callback, and keeps the first exception either raised. From then
// on check() answers "stop", the computation ends early, and the caller, with
// the GIL again, raises the kept exception.
//
// Signal handlers only run on Python's main thread: a computation started
// from another thread is stopped by its callback only.
#pragma once

#include <pybind11/pybind11.h>

#include <chrono>
#include <optional>

class PythonInterruption {
public:
    static constexpr std::chrono::milliseconds kInterval{50};

    // `callback` (or None) is called with the share done, 0 to 1. Made and
    // destroyed with the GIL held.
    explicit PythonInterruption(pybind11::object callback);

    // Without the GIL: the share done now (0 when unknown); true when the
    // work must stop. The callback gets every share that is larger than the
    // last it got, when the GIL is taken (above).
    bool check(double share);

    // With the GIL: raises the exception that stopped the work, if any.
    void raise_if_stopped();

private:
    pybind11::object callback_;
    std::optional<pybind11::error_already_set> error_;
    std::chrono::steady_clock::time_point last_visit_{};
    double visited_share_ = 0.0;  // the largest share the GIL was taken at
    bool visited_ = false;
    double reported_ = -1.0;      // the last share the callback got
};
