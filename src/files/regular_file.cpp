#include "files/regular_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

InputOpen open_regular_input(const std::string& path, const char* mode, File& file) {
    file.reset();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return InputOpen::missing;
        return errno == EACCES || errno == EPERM ? InputOpen::denied : InputOpen::failed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return InputOpen::not_regular;
    }
    // Reads of a regular file never block anyway; the flag goes so that the
    // stream sees an ordinary file.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.reset(fdopen(fd, mode));
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
        return InputOpen::failed;
    }
    return InputOpen::ok;
}

uint64_t file_bytes(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || info.st_size < 0) return 0;
    return static_cast<uint64_t>(info.st_size);
}
