// Loaded with LD_PRELOAD by the tests of lorvantide-raster: rename(2) and
// fsync(2) misbehave on demand, to see what the tool does when putting its
// outputs in place is interrupted or fails.
//   FSYNC_FAULT_SIGNAL=N   the process gets signal N at each fsync (every
//                          output written, none put in place yet)
//   RENAME_FAULT_SIGNAL=N  the process gets signal N at each rename
//   RENAME_FAULT_FAIL=1    every rename fails with EIO
#include <dlfcn.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

extern "C" int rename(const char* from, const char* to) {
    if (const char* number = std::getenv("RENAME_FAULT_SIGNAL")) std::raise(std::atoi(number));
    if (std::getenv("RENAME_FAULT_FAIL") != nullptr) {
        errno = EIO;
        return -1;
    }
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    return real(from, to);
}

extern "C" int fsync(int fd) {
    if (const char* number = std::getenv("FSYNC_FAULT_SIGNAL")) std::raise(std::atoi(number));
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
