// Whole processes of a program, measured from outside by process_meter (built
// beside the benchmark): standard input from a file, standard output and
// error to /dev/null, wall time and wait4's usage; repeated, and summed up as
// their least and median times and their peak resident memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProcessCost {
    double wall = 0, user = 0, system = 0;  // seconds
    uint64_t peak_bytes = 0;                // resident (ru_maxrss)
    int status = -1;                        // exit status; -1 when it could not be measured
};

// One run of `command` (program and arguments), standard input from `input`.
ProcessCost measure_process(const std::string& input, const std::vector<std::string>& command);

struct RepeatedCost {
    int runs = 0, failures = 0;  // failures: not started, or `check` refused the run
    int failed_status = 0;       // the exit status of the last failure (-1: not measured)
    double min_wall = 0, median_wall = 0, median_user = 0, median_system = 0;
    uint64_t peak_bytes = 0;  // the largest of the runs
};

// `runs` runs of `command`; `before` is called before each (to clear the
// previous result, measure the I/O floor...), `check` after each.
RepeatedCost repeat_process(
    int runs, const std::string& input, const std::vector<std::string>& command,
    const std::function<void()>& before = [] {},
    const std::function<bool(const ProcessCost&)>& check = [](const ProcessCost&) { return true; });

// The median of some values (0 for none).
double median(std::vector<double> values);
