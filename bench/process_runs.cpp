#include "bench/process_runs.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

extern char** environ;

ProcessCost measure_process(const std::string& input, const std::vector<std::string>& command) {
    ProcessCost cost;
    std::error_code error;
    const std::string meter =
        (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "process_meter").string();
    std::vector<std::string> words = {meter, input};
    words.insert(words.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int ends[2];
    if (pipe(ends) != 0) return cost;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, ends[1], 1);
    posix_spawn_file_actions_addclose(&files, ends[0]);
    posix_spawn_file_actions_addclose(&files, ends[1]);
    pid_t meter_pid = 0;
    const bool started = posix_spawn(&meter_pid, meter.c_str(), &files, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&files);
    close(ends[1]);
    std::string line;
    char buffer[256];
    ssize_t got = 0;
    while (started && (got = read(ends[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, static_cast<std::size_t>(got));
    close(ends[0]);
    int status = 0;
    if (!started || waitpid(meter_pid, &status, 0) != meter_pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return cost;
    long peak_kib = 0;
    int code = -1;
    if (std::sscanf(line.c_str(), "%lf %lf %lf %ld %d", &cost.wall, &cost.user, &cost.system, &peak_kib, &code) != 5)
        return cost;
    cost.peak_bytes = static_cast<uint64_t>(peak_kib) * 1024;  // KiB on Linux
    cost.status = code;
    return cost;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

RepeatedCost repeat_process(int runs, const std::string& input, const std::vector<std::string>& command,
                            const std::function<void()>& before, const std::function<bool(const ProcessCost&)>& check) {
    RepeatedCost out;
    std::vector<double> wall, user, system;
    for (int k = 0; k < runs; ++k) {
        before();
        const ProcessCost c = measure_process(input, command);
        ++out.runs;
        if (c.status < 0 || !check(c)) {
            ++out.failures;
            out.failed_status = c.status;
            continue;
        }
        wall.push_back(c.wall);
        user.push_back(c.user);
        system.push_back(c.system);
        out.peak_bytes = std::max(out.peak_bytes, c.peak_bytes);
    }
    if (!wall.empty()) out.min_wall = *std::min_element(wall.begin(), wall.end());
    out.median_wall = median(wall);
    out.median_user = median(user);
    out.median_system = median(system);
    return out;
}
