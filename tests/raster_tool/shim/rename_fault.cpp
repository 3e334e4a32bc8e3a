// Loaded with LD_PRELOAD by the tests of lorvantide-raster: rename(2)
// misbehaves on demand, to see what the tool does when putting its outputs
// in place is interrupted or fails.
//   RENAME_FAULT_SIGNAL=N  the process gets signal N at its first rename
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
