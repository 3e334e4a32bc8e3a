// Runs a program of the project as a user would: arguments given, answers
// piped to standard input, standard output and error captured.
#pragma once

#include <map>
#include <string>
#include <vector>

struct BinaryRun {
    int exit_status = -1;
    std::string out;  // every byte written to standard output
    std::string err;  // every byte written to standard error
};

// The program runs in `work_dir` with `input` on standard input, the extra
// environment variables given (LORVANTIDE_IMAGES, LORVANTIDE_THREADS...) and,
// when a limit is set, its address space limited (setrlimit RLIMIT_AS) to see
// how it meets exhausted memory.
struct ChildRequest {
    std::string binary;
    std::vector<std::string> arguments;
    std::string work_dir = ".";
    std::string input;
    std::map<std::string, std::string> env;
    unsigned long long address_space_bytes = 0;  // 0: no limit
};
BinaryRun run_child(const ChildRequest& request);

// The console program built alongside the tests.
inline std::string lorvantide_binary() {
#ifdef LORVANTIDE_BINARY
    return LORVANTIDE_BINARY;
#else
    return "lorvantide";
#endif
}
