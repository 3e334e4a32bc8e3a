#include "console/output_buffer.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

OutputBuffer::OutputBuffer(int fd, std::size_t size)
    : fd_(fd), size_(size > 0 ? size : 1), buffer_(new char[size_]) {
    setp(buffer_.get(), buffer_.get() + size_);
}

OutputBuffer::~OutputBuffer() { drain(); }

bool OutputBuffer::drain() {
    const char* at = pbase();
    const char* const end = pptr();
    while (at < end) {
        const ssize_t written = ::write(fd_, at, static_cast<std::size_t>(end - at));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // What could not be written is dropped, as the standard stream
            // would drop it; the stream reports the failure.
            setp(buffer_.get(), buffer_.get() + size_);
            return false;
        }
        at += written;
    }
    setp(buffer_.get(), buffer_.get() + size_);
    return true;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize OutputBuffer::xsputn(const char* text, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
        const std::streamsize room = epptr() - pptr();
        if (room == 0) {
            if (!drain()) return done;
            continue;
        }
        const std::streamsize part = n - done < room ? n - done : room;
        std::memcpy(pptr(), text + done, static_cast<std::size_t>(part));
        pbump(static_cast<int>(part));
        done += part;
    }
    return done;
}

int OutputBuffer::sync() { return drain() ? 0 : -1; }
