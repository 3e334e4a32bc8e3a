#include "windows/core_files.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "windows/windowed_run.hpp"

namespace {

[[noreturn]] void failed(const std::string& what, const std::string& path) {
    throw WindowError(what + " " + path + ": " + std::strerror(errno));
}

void positioned(int fd, const std::string& path, char* bytes, std::size_t count, uint64_t offset, bool writing) {
    while (count > 0) {
        const ssize_t done = writing ? pwrite(fd, bytes, count, static_cast<off_t>(offset))
                                     : pread(fd, bytes, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            failed(writing ? "no se pudo escribir el archivo temporal" : "no se pudo leer el archivo temporal", path);
        }
        bytes += done;
        count -= static_cast<std::size_t>(done);
        offset += static_cast<uint64_t>(done);
    }
}

}  // namespace

CoreFiles::~CoreFiles() {
    for (int& fd : fds_)
        if (fd >= 0) ::close(fd), fd = -1;
}

void CoreFiles::open(const std::string& prefix, int32_t lines, int32_t columns, bool create) {
    paths_[0] = prefix + ".elevaciones.raw";
    paths_[1] = prefix + ".cauce.raw";
    columns_ = columns;
    const uint64_t pixels = static_cast<uint64_t>(lines) * static_cast<uint64_t>(columns);
    for (int k = 0; k < 2; ++k) {
        fds_[k] = ::open(paths_[k].c_str(), create ? O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC : O_RDWR | O_CLOEXEC, 0600);
        if (fds_[k] < 0) failed("no se pudo abrir el archivo temporal", paths_[k]);
        if (!create) continue;
        created_ = true;
        const auto bytes = static_cast<off_t>(pixels * (k == 0 ? 4 : 1));
        const int error = bytes > 0 ? posix_fallocate(fds_[k], 0, bytes) : 0;
        if (error != 0) {
            errno = error;
            failed("no cabe en el disco el archivo temporal", paths_[k]);
        }
    }
}

void CoreFiles::create(const std::string& prefix, int32_t lines, int32_t columns) { open(prefix, lines, columns, true); }

void CoreFiles::join(const std::string& prefix, int32_t lines, int32_t columns) { open(prefix, lines, columns, false); }

void CoreFiles::flush() {
    for (int k = 0; k < 2; ++k)
        if (fds_[k] >= 0 && fsync(fds_[k]) != 0) failed("no se pudo escribir completo el archivo temporal", paths_[k]);
}

void CoreFiles::remove() {
    if (!created_) return;
    for (int k = 0; k < 2; ++k) {
        if (fds_[k] >= 0) ::close(fds_[k]), fds_[k] = -1;
        unlink(paths_[k].c_str());
    }
    created_ = false;
}

void CoreFiles::write_core(const RasterRect& core, const CoreValues& values) {
    for (int32_t a = 0; a < core.lines; ++a) {
        const uint64_t first = static_cast<uint64_t>(core.line + a) * static_cast<uint64_t>(columns_) +
                               static_cast<uint64_t>(core.column);
        const std::size_t start = static_cast<std::size_t>(a) * static_cast<std::size_t>(core.columns);
        const auto count = static_cast<std::size_t>(core.columns);
        positioned(fds_[0], paths_[0], reinterpret_cast<char*>(const_cast<int32_t*>(values.rounded + start)),
                   4 * count, 4 * first, true);
        positioned(fds_[1], paths_[1], reinterpret_cast<char*>(const_cast<unsigned char*>(values.channel + start)),
                   count, first, true);
    }
}

void CoreFiles::read_core(const RasterRect& core, int32_t* rounded, unsigned char* channel) const {
    for (int32_t a = 0; a < core.lines; ++a) {
        const uint64_t first = static_cast<uint64_t>(core.line + a) * static_cast<uint64_t>(columns_) +
                               static_cast<uint64_t>(core.column);
        const std::size_t start = static_cast<std::size_t>(a) * static_cast<std::size_t>(core.columns);
        const auto count = static_cast<std::size_t>(core.columns);
        positioned(fds_[0], paths_[0], reinterpret_cast<char*>(rounded + start), 4 * count, 4 * first, false);
        positioned(fds_[1], paths_[1], reinterpret_cast<char*>(channel + start), count, first, false);
    }
}
