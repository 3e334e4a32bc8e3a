// A large output buffer over a file descriptor, for standard output. The
// computation prints tens of megabytes of progress lines; through the small
// buffer of the standard stream every few kilobytes cost a system call.
#pragma once

#include <cstddef>
#include <streambuf>
#include <memory>

class OutputBuffer : public std::streambuf {
public:
    OutputBuffer(int fd, std::size_t size);
    ~OutputBuffer() override;
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize n) override;
    int sync() override;

private:
    // Writes everything buffered; false when the descriptor refused it.
    bool drain();

    int fd_;
    std::size_t size_;
    std::unique_ptr<char[]> buffer_;  // not cleared: pages are used only as the output reaches them
};
