// Runs the real lorvantide binary as a user would: answers piped to standard
// input, images under a given root, standard output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

struct BinaryRun {
    int exit_status = -1;
    std::string out;  // every byte written to standard output
    std::string err;  // every byte written to standard error
};

// Runs `binary` in `work_dir` with `answers` on standard input and the extra
// environment variables given (LORVANTIDE_IMAGES, LORVANTIDE_THREADS...).
BinaryRun run_binary(const std::string& binary, const std::string& work_dir, const std::string& answers,
                     const std::map<std::string, std::string>& env = {});

// The same, with the child's address space limited to `address_space_bytes`
// (setrlimit RLIMIT_AS), to see how the program meets exhausted memory.
BinaryRun run_binary_with_memory_limit(const std::string& binary, const std::string& work_dir,
                                       const std::string& answers, const std::map<std::string, std::string>& env,
                                       unsigned long long address_space_bytes);

// Any program of the project, with command-line arguments; standard input
// holds `input`.
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
