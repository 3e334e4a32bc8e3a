#include "band_threads.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

int32_t fast_thread_count() {
    if (const char* wanted = std::getenv("LORVANTIDE_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(wanted, &end, 10);
        if (end != wanted && *end == '\0' && n >= 1) return static_cast<int32_t>(std::min<long>(n, 64));
    }
    return static_cast<int32_t>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1u, 64u));
}

void split_in_bands(int64_t count, const std::function<void(int64_t first, int64_t end)>& work) {
    split_in_bands(count, 0, work);
}

void split_in_bands(int64_t count, int32_t threads, const std::function<void(int64_t first, int64_t end)>& work) {
    const int32_t wanted = threads > 0 ? std::min(threads, 64) : fast_thread_count();
    const int64_t bands = std::max<int64_t>(1, std::min<int64_t>(wanted, count));
    std::vector<std::thread> helpers;
    int64_t done_here = count;  // bands that could not get a thread run here
    for (int64_t b = 1; b < bands; ++b) {
        const int64_t first = count * b / bands;
        const int64_t end = count * (b + 1) / bands;
        try {
            helpers.emplace_back(work, first, end);
        } catch (const std::system_error&) {
            done_here = std::min(done_here, first);
            break;
        }
    }
    work(0, count / bands);
    // Whatever no thread took (when one could not be started) is done here.
    if (done_here < count) work(done_here, count);
    for (std::thread& helper : helpers) helper.join();
}
