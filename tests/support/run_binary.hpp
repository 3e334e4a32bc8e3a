// Runs a program of the project as a user would: arguments given, answers
// piped to standard input, standard output and error captured.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_folder.hpp"

struct BinaryRun {
    int exit_status = -1;  // or 128 + the signal that ended it
    std::string out;       // every byte written to standard output
    std::string err;       // every byte written to standard error
    long max_rss_kib = 0;  // its peak resident set (ru_maxrss)
};

// The program runs in `work_dir` with `input` on standard input, the extra
// environment variables given (LORVANTIDE_IMAGES, LORVANTIDE_THREADS...) and,
// when a limit is set, its address space limited (setrlimit RLIMIT_AS) to see
// how it meets exhausted memory. With a timeout, a program still running
// after it is ended by SIGALRM (exit status 128 + 14): a test of something
// that could block then fails instead of hanging.
struct ChildRequest {
    std::string binary;
    std::vector<std::string> arguments;
    std::string work_dir = ".";
    std::string input;
    std::map<std::string, std::string> env;
    unsigned long long address_space_bytes = 0;  // 0: no limit
    unsigned timeout_seconds = 0;                // 0: none
};
BinaryRun run_child(const ChildRequest& request);

// The program's argument vector, made before fork: `request`'s strings, then
// a null pointer.
std::vector<char*> child_argv(const ChildRequest& request);
// In a forked child whose standard streams are set: the request's folder,
// the signals as a user's shell gives them, its environment, then the
// program (exit status 126 when the folder cannot be entered, 127 when the
// program cannot be started).
[[noreturn]] void exec_child(const ChildRequest& request, const std::vector<char*>& argv);

// The same, started and left running: the test may signal it meanwhile
// (pid()). A child still running when the object ends is killed and reaped.
class StartedChild {
public:
    explicit StartedChild(const ChildRequest& request);
    ~StartedChild();
    StartedChild(const StartedChild&) = delete;
    StartedChild& operator=(const StartedChild&) = delete;
    pid_t pid() const { return pid_; }
    BinaryRun wait();

private:
    TempFolder scratch_;
    pid_t pid_ = -1;
};

// The console program built alongside the tests, or the one named by
// LORVANTIDE_BINARY_UNDER_TEST (to see which tests an older build fails).
inline std::string lorvantide_binary() {
    if (const char* other = std::getenv("LORVANTIDE_BINARY_UNDER_TEST")) return other;
#ifdef LORVANTIDE_BINARY
    return LORVANTIDE_BINARY;
#else
    return "lorvantide";
#endif
}
