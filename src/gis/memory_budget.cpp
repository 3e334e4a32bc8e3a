#include "gis/memory_budget.hpp"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>

#include "gis/tool_error.hpp"

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

// A "Name:   1234 kB" line of a /proc file, in bytes; kUnlimited when absent.
std::uint64_t proc_kilobytes(const char* file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) != 0) continue;
        std::istringstream fields(line.substr(name.size() + 1));
        std::uint64_t kilobytes = 0;
        if (fields >> kilobytes) return kilobytes * 1024;
    }
    return kUnlimited;
}

// What a resource limit leaves above what the process already uses.
std::uint64_t headroom(int resource, std::uint64_t used) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    const auto allowed = static_cast<std::uint64_t>(limit.rlim_cur);
    if (used == kUnlimited) used = 0;
    return allowed > used ? allowed - used : 0;
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20); }

}  // namespace

std::uint64_t raster_bytes(std::int64_t lines, std::int64_t columns, std::uint64_t bytes_per_pixel) {
    if (lines <= 0 || columns <= 0) return 0;
    const auto l = static_cast<std::uint64_t>(lines);
    const auto c = static_cast<std::uint64_t>(columns);
    if (c > kUnlimited / l || l * c > kUnlimited / std::max<std::uint64_t>(bytes_per_pixel, 1)) return kUnlimited;
    return l * c * bytes_per_pixel;
}

std::uint64_t available_memory() {
    return std::min({proc_kilobytes("/proc/meminfo", "MemAvailable"),
                     headroom(RLIMIT_AS, proc_kilobytes("/proc/self/status", "VmSize")),
                     headroom(RLIMIT_DATA, proc_kilobytes("/proc/self/status", "VmData"))});
}

void require_memory(std::uint64_t bytes, const std::string& what) {
    const std::uint64_t available = available_memory();
    // Beyond what any vector may hold, whatever the machine.
    const std::uint64_t addressable = static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (bytes <= available && bytes <= addressable) return;
    throw ToolError("no hay memoria para " + what + ": hacen falta " +
                    (bytes == kUnlimited ? std::string("mas de ") + mebibytes(addressable) : mebibytes(bytes)) +
                    " MiB y hay " + mebibytes(std::min(available, addressable)) + " MiB disponibles");
}
