// A program of the project talked to as a person would: answers sent on a
// pipe a few at a time, its console read as it comes, and the program stopped
// (by a signal) while it waits, to see what it leaves behind.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/run_binary.hpp"

class RunningChild {
public:
    // Starts `request.binary` (its `input` is not used: see send).
    explicit RunningChild(const ChildRequest& request);
    // A child still running is killed (SIGKILL) and reaped.
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    void send(const std::string& text);
    void close_input();
    // Reads the standard output until it holds `text`; false when the output
    // ends, or `seconds` pass, first.
    bool wait_for(const std::string& text, int seconds = 60);
    // Sends `signal` (when not 0), then waits for the end: the exit status as
    // run_child gives it, and out holds the whole standard output.
    int stop(int signal);

    std::string out;  // the standard output read so far

private:
    void read_rest();

    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
};
