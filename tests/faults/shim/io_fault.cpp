// Loaded with LD_PRELOAD by the fault tests of lorvantide, lorvantide-tiles and
// lorvantide-raster: one kind of call fails, from a chosen call on, for the
// files whose path matches a pattern.
//
//   IO_FAULT=open:N:PATTERN    the Nth open of a matching path fails (EACCES)
//   IO_FAULT=read:N:PATTERN    from the Nth read of a matching file on, every read fails
//   IO_FAULT=write:N:PATTERN   from the Nth write of a matching file on, every write fails (ENOSPC)
//   IO_FAULT=rename:N:PATTERN  the Nth rename of a matching file fails (EIO)
//   IO_FAULT=fsync:N:PATTERN   the Nth fsync of a matching file or folder fails (EIO)
//   IO_FAULT=chown:N:PATTERN   the Nth chown of a matching path fails (EPERM)
//   IO_FAULT=chmod:N:PATTERN   the Nth chmod of a matching path fails (EIO)
//   IO_FAULT_SIGNAL=S          the chosen call does not fail: the process gets
//                              signal S, then the call runs
//
// PATTERN is an fnmatch(3) pattern on the path; for reads and writes, the
// path the file descriptor was opened on. Reads and writes fail for real: the
// file's descriptor is replaced (dup2) by one on a folder (reads fail with
// EISDIR) or on /dev/full (writes fail with ENOSPC), so the program's stdio
// streams meet a genuine error, as on a failing disk or a full one, however
// their buffers are drained. Both the stdio calls and the system calls a
// program makes are counted, so that it works whichever the program uses.
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class Kind { none, open, read, write, rename, fsync, chown, chmod };

struct Fault {
    Kind kind = Kind::none;
    long nth = 0;
    std::string pattern;
};

const Fault& fault() {
    static const Fault parsed = [] {
        Fault f;
        const char* setting = std::getenv("IO_FAULT");
        if (setting == nullptr) return f;
        const char* colon = std::strchr(setting, ':');
        const char* second = colon != nullptr ? std::strchr(colon + 1, ':') : nullptr;
        if (second == nullptr) return f;
        const std::string kind(setting, static_cast<std::size_t>(colon - setting));
        f.kind = kind == "open" ? Kind::open : kind == "read" ? Kind::read : kind == "write" ? Kind::write
               : kind == "rename" ? Kind::rename : kind == "fsync" ? Kind::fsync : kind == "chown" ? Kind::chown
               : kind == "chmod" ? Kind::chmod : Kind::none;
        f.nth = std::strtol(colon + 1, nullptr, 10);
        f.pattern = second + 1;
        return f;
    }();
    return parsed;
}

std::atomic<long> matching_calls{0};

bool matches(Kind kind, const char* path) {
    const Fault& f = fault();
    return f.kind == kind && path != nullptr && fnmatch(f.pattern.c_str(), path, 0) == 0;
}

// True when this call, of `kind` on `path`, is the chosen one and is to fail.
bool fails(Kind kind, const char* path) {
    if (!matches(kind, path) || matching_calls.fetch_add(1) + 1 != fault().nth) return false;
    static const char* const signal = std::getenv("IO_FAULT_SIGNAL");
    if (signal == nullptr) return true;
    std::raise(std::atoi(signal));
    return false;
}

std::string path_of(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// Before a read or a write on `fd`: from the chosen call on, the descriptor
// fails. Later calls on a descriptor already replaced no longer match.
void before(Kind kind, int fd) {
    if (fd < 0 || fault().kind != kind) return;
    const std::string path = path_of(fd);
    if (!fails(kind, path.c_str())) return;
    const int failing = kind == Kind::read ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                           : ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (failing < 0) std::abort();
    dup2(failing, fd);
    close(failing);
}

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using Open = int (*)(const char*, int, ...);
using Fopen = FILE* (*)(const char*, const char*);

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;  // the mode is there only when the flags create a file
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    static const auto next = real<Open>("open");
    if (!fails(Kind::open, path)) return next(path, flags, mode);
    errno = EACCES;
    return -1;
}

FILE* fopen(const char* path, const char* mode) {
    static const auto next = real<Fopen>("fopen");
    if (!fails(Kind::open, path)) return next(path, mode);
    errno = EACCES;
    return nullptr;
}

// On 64-bit hosts the C library's large-file calls are the same functions
// under other names, which a program built with 64-bit offsets (GDAL) calls.
static_assert(sizeof(long) == 8, "open64 and fopen64 are open and fopen only on 64-bit hosts");
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
FILE* fopen64(const char* path, const char* mode) __attribute__((alias("fopen")));

ssize_t read(int fd, void* buffer, size_t count) {
    before(Kind::read, fd);
    static const auto next = real<ssize_t (*)(int, void*, size_t)>("read");
    return next(fd, buffer, count);
}

size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
    before(Kind::read, fileno(stream));
    static const auto next = real<size_t (*)(void*, size_t, size_t, FILE*)>("fread");
    return next(buffer, size, count, stream);
}

int fgetc(FILE* stream) {
    before(Kind::read, fileno(stream));
    static const auto next = real<int (*)(FILE*)>("fgetc");
    return next(stream);
}

int getc(FILE* stream) {
    before(Kind::read, fileno(stream));
    static const auto next = real<int (*)(FILE*)>("getc");
    return next(stream);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    before(Kind::write, fd);
    static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    return next(fd, buffer, count);
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    before(Kind::write, fileno(stream));
    static const auto next = real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    return next(buffer, size, count, stream);
}

int fflush(FILE* stream) {
    if (stream != nullptr) before(Kind::write, fileno(stream));
    static const auto next = real<int (*)(FILE*)>("fflush");
    return next(stream);
}

int rename(const char* from, const char* to) {
    if (fails(Kind::rename, from)) {
        errno = EIO;
        return -1;
    }
    static const auto next = real<int (*)(const char*, const char*)>("rename");
    return next(from, to);
}

int fsync(int fd) {
    if (fault().kind == Kind::fsync && fails(Kind::fsync, path_of(fd).c_str())) {
        errno = EIO;
        return -1;
    }
    static const auto next = real<int (*)(int)>("fsync");
    return next(fd);
}

int chown(const char* path, uid_t owner, gid_t group) {
    if (fails(Kind::chown, path)) {
        errno = EPERM;
        return -1;
    }
    static const auto next = real<int (*)(const char*, uid_t, gid_t)>("chown");
    return next(path, owner, group);
}

int chmod(const char* path, mode_t mode) {
    if (fails(Kind::chmod, path)) {
        errno = EIO;
        return -1;
    }
    static const auto next = real<int (*)(const char*, mode_t)>("chmod");
    return next(path, mode);
}

}  // extern "C"
