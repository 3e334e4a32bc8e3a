// Runs the real lorvantide binary as a user would: answers piped to standard
// input, images under a given root, standard output captured.
#pragma once

#include <map>
#include <string>

struct BinaryRun {
    int exit_status = -1;
    std::string out;  // every byte written to standard output
    std::string err;  // every byte written to standard error
};

// Runs `binary` in `work_dir` with `answers` on standard input and the extra
// environment variables given (LORVANTIDE_IMAGES, LORVANTIDE_THREADS...).
BinaryRun run_binary(const std::string& binary, const std::string& work_dir, const std::string& answers,
                     const std::map<std::string, std::string>& env = {});

// The console program built alongside the tests.
inline std::string lorvantide_binary() {
#ifdef LORVANTIDE_BINARY
    return LORVANTIDE_BINARY;
#else
    return "lorvantide";
#endif
}
