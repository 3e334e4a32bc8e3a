#include "bench/bench_files.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const char* const kInputs[] = {"valle_m4.raw", "bar.raw", "cauce.raw", "curva.raw", "lago.raw"};

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

FloorTimes io_floor_seconds(const std::string& folder, uint64_t result_bytes) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(1 << 20);
    uint64_t sum = 0;
    for (const char* name : kInputs) {
        std::FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
        if (!f) continue;
        std::size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            sum += static_cast<unsigned char>(buffer[got - 1]);
        std::fclose(f);
    }
    const std::string out = folder + "/floor_m4.raw";
    std::FILE* f = std::fopen(out.c_str(), "wb");
    for (std::size_t k = 0; k < buffer.size(); ++k) buffer[k] = static_cast<char>(sum + k);
    for (uint64_t left = result_bytes; f && left > 0;) {
        const std::size_t chunk = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
        std::fwrite(buffer.data(), 1, chunk, f);
        left -= chunk;
    }
    if (f) std::fflush(f);
    const auto written = std::chrono::steady_clock::now();
    if (f) {
        fsync(fileno(f));
        std::fclose(f);
    }
    const auto end = std::chrono::steady_clock::now();
    std::remove(out.c_str());
    return {std::chrono::duration<double>(written - start).count(), std::chrono::duration<double>(end - start).count()};
}
