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
//   IO_FAULT=link:N:PATTERN    the Nth hard link of a matching file fails (EIO)
//   IO_FAULT=unlink:N:PATTERN  the Nth unlink (or rmdir) of a matching path fails (EIO)
//   IO_FAULT=mkdir:N:PATTERN   the Nth mkdir of a matching path fails (ENOSPC)
//   IO_FAULT=close:N:PATTERN   the Nth close of a matching file fails (EIO; it is closed all the same)
//   IO_FAULT=flock:N:PATTERN   the Nth flock of a matching file fails (ENOLCK)
//   IO_FAULT=fallocate:N:PATTERN  the Nth posix_fallocate or fallocate of a matching file fails (ENOSPC)
//   IO_FAULT=pread:N:PATTERN   the Nth pread of a matching file fails (EIO)
//   IO_FAULT=pwrite:N:PATTERN  the Nth pwrite of a matching file fails (ENOSPC)
//   IO_FAULT_ERRNO=E           the failing call's errno is E instead
//   IO_FAULT_SIGNAL=S          the chosen call does not fail: the process gets
//                              signal S, then the call runs
//   IO_FAULT_REPORT=FILE       FILE is created when the chosen call comes, so
//                              a test that tries every N knows when N is past
//                              the last call
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
#include <sys/syscall.h>
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

enum class Kind {
    none, open, read, write, rename, fsync, chown, chmod, link, unlink, mkdir, close, flock, fallocate, pread, pwrite
};

constexpr struct {
    const char* name;
    Kind kind;
    int error;
} kKinds[] = {{"open", Kind::open, EACCES},     {"read", Kind::read, EIO},         {"write", Kind::write, ENOSPC},
              {"rename", Kind::rename, EIO},    {"fsync", Kind::fsync, EIO},       {"chown", Kind::chown, EPERM},
              {"chmod", Kind::chmod, EIO},      {"link", Kind::link, EIO},         {"unlink", Kind::unlink, EIO},
              {"mkdir", Kind::mkdir, ENOSPC},   {"close", Kind::close, EIO},       {"flock", Kind::flock, ENOLCK},
              {"fallocate", Kind::fallocate, ENOSPC}, {"pread", Kind::pread, EIO}, {"pwrite", Kind::pwrite, ENOSPC}};

struct Fault {
    Kind kind = Kind::none;
    long nth = 0;
    std::string pattern;
    int error = 0;
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
        for (const auto& known : kKinds)
            if (kind == known.name) {
                f.kind = known.kind;
                f.error = known.error;
            }
        if (const char* error = std::getenv("IO_FAULT_ERRNO")) f.error = std::atoi(error);
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
    if (const char* report = std::getenv("IO_FAULT_REPORT")) {
        static const auto create = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
        const int fd = create(report, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) syscall(SYS_close, fd);
    }
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

// `name` as a path, for a call relative to the folder open on `dirfd`.
std::string at_path(int dirfd, const char* name) {
    if (name == nullptr || name[0] == '/' || dirfd == AT_FDCWD) return name != nullptr ? name : "";
    return path_of(dirfd) + "/" + name;
}

// True when this call, of `kind` on the file open on `fd`, is the chosen one.
bool fails_on(Kind kind, int fd) { return fault().kind == kind && fails(kind, path_of(fd).c_str()); }

int failing(int result_error) {
    errno = result_error;
    return -1;
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
    return failing(fault().error);
}

FILE* fopen(const char* path, const char* mode) {
    static const auto next = real<Fopen>("fopen");
    if (!fails(Kind::open, path)) return next(path, mode);
    errno = fault().error;
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
    if (fails(Kind::rename, from)) return failing(fault().error);
    static const auto next = real<int (*)(const char*, const char*)>("rename");
    return next(from, to);
}

int renameat(int from_dir, const char* from, int to_dir, const char* to) {
    if (fault().kind == Kind::rename && fails(Kind::rename, at_path(from_dir, from).c_str()))
        return failing(fault().error);
    static const auto next = real<int (*)(int, const char*, int, const char*)>("renameat");
    return next(from_dir, from, to_dir, to);
}

int fsync(int fd) {
    if (fails_on(Kind::fsync, fd)) return failing(fault().error);
    static const auto next = real<int (*)(int)>("fsync");
    return next(fd);
}

int fdatasync(int fd) {
    if (fails_on(Kind::fsync, fd)) return failing(fault().error);
    static const auto next = real<int (*)(int)>("fdatasync");
    return next(fd);
}

int chown(const char* path, uid_t owner, gid_t group) {
    if (fails(Kind::chown, path)) return failing(fault().error);
    static const auto next = real<int (*)(const char*, uid_t, gid_t)>("chown");
    return next(path, owner, group);
}

int chmod(const char* path, mode_t mode) {
    if (fails(Kind::chmod, path)) return failing(fault().error);
    static const auto next = real<int (*)(const char*, mode_t)>("chmod");
    return next(path, mode);
}

int link(const char* from, const char* to) {
    if (fails(Kind::link, from)) return failing(fault().error);
    static const auto next = real<int (*)(const char*, const char*)>("link");
    return next(from, to);
}

int linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
    if (fault().kind == Kind::link && fails(Kind::link, at_path(from_dir, from).c_str())) return failing(fault().error);
    static const auto next = real<int (*)(int, const char*, int, const char*, int)>("linkat");
    return next(from_dir, from, to_dir, to, flags);
}

int unlink(const char* path) {
    if (fails(Kind::unlink, path)) return failing(fault().error);
    static const auto next = real<int (*)(const char*)>("unlink");
    return next(path);
}

int unlinkat(int dir, const char* path, int flags) {
    if (fault().kind == Kind::unlink && fails(Kind::unlink, at_path(dir, path).c_str())) return failing(fault().error);
    static const auto next = real<int (*)(int, const char*, int)>("unlinkat");
    return next(dir, path, flags);
}

int rmdir(const char* path) {
    if (fails(Kind::unlink, path)) return failing(fault().error);
    static const auto next = real<int (*)(const char*)>("rmdir");
    return next(path);
}

int mkdir(const char* path, mode_t mode) {
    if (fails(Kind::mkdir, path)) return failing(fault().error);
    static const auto next = real<int (*)(const char*, mode_t)>("mkdir");
    return next(path, mode);
}

int close(int fd) {
    const bool fail = fails_on(Kind::close, fd);
    static const auto next = real<int (*)(int)>("close");
    const int closed = next(fd);  // as the system does: closed even when it reports an error
    return fail ? failing(fault().error) : closed;
}

int flock(int fd, int operation) {
    if (fails_on(Kind::flock, fd)) return failing(fault().error);
    static const auto next = real<int (*)(int, int)>("flock");
    return next(fd, operation);
}

int posix_fallocate(int fd, off_t offset, off_t length) {
    if (fails_on(Kind::fallocate, fd)) return fault().error;
    static const auto next = real<int (*)(int, off_t, off_t)>("posix_fallocate");
    return next(fd, offset, length);
}
int posix_fallocate64(int fd, off_t offset, off_t length) __attribute__((alias("posix_fallocate")));

int fallocate(int fd, int mode, off_t offset, off_t length) {
    if (fails_on(Kind::fallocate, fd)) return failing(fault().error);
    static const auto next = real<int (*)(int, int, off_t, off_t)>("fallocate");
    return next(fd, mode, offset, length);
}
int fallocate64(int fd, int mode, off_t offset, off_t length) __attribute__((alias("fallocate")));

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (fails_on(Kind::pread, fd)) return failing(fault().error);
    static const auto next = real<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return next(fd, buffer, count, offset);
}
ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) __attribute__((alias("pread")));

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (fails_on(Kind::pwrite, fd)) return failing(fault().error);
    static const auto next = real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return next(fd, buffer, count, offset);
}
ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) __attribute__((alias("pwrite")));

}  // extern "C"
