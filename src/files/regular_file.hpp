// Opening an input only when it is a regular file. The open never waits: a
// FIFO without a writer, or a device, is opened without blocking, seen for
// what it is and closed again, so a wrong name gets a message instead of a
// program that hangs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// A stdio stream that closes itself.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

enum class InputOpen {
    ok,
    missing,      // no such file (ENOENT, ENOTDIR)
    not_regular,  // a folder, a FIFO or a device
    denied,       // this user may not read it (EACCES, EPERM)
    failed,       // it could not be opened otherwise (errno: EIO, ELOOP, EMFILE...)
};

// Opens `path` with the stdio `mode` ("rb" or "r") into `file` when it is a
// regular file; `file` stays empty otherwise, and errno says why.
InputOpen open_regular_input(const std::string& path, const char* mode, File& file);

// The size in bytes of an open file.
uint64_t file_bytes(std::FILE* file);
