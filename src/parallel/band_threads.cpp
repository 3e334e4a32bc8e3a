#include "parallel/band_threads.hpp"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kMostThreads = 64;

std::thread start_thread(const BandWork& work, int64_t first, int64_t end) { return std::thread(work, first, end); }

}  // namespace

int32_t threads_from_environment() {
    if (const char* wanted = std::getenv("LORVANTIDE_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(wanted, &end, 10);
        if (end != wanted && *end == '\0' && n >= 1) return static_cast<int32_t>(std::min<long>(n, kMostThreads));
    }
    return static_cast<int32_t>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1u, kMostThreads));
}

void split_in_bands(int64_t count, int32_t threads, const BandWork& work) {
    split_in_bands(count, threads, work, start_thread);
}

void split_in_bands(int64_t count, int32_t threads, const BandWork& work, HelperStart start) {
    const int64_t bands = std::max<int64_t>(1, std::min<int64_t>(std::clamp(threads, 1, kMostThreads), count));
    // A band that throws (std::bad_alloc, say) must not end the process from
    // its thread: the first exception is kept and thrown here once every
    // thread has been joined.
    std::exception_ptr failure;
    std::mutex failure_lock;
    const BandWork guarded = [&](int64_t first, int64_t end) {
        try {
            work(first, end);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failure_lock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(bands));  // a started thread is never dropped for want of room
    int64_t done_here = count;  // bands that could not get a thread run here
    for (int64_t b = 1; b < bands; ++b) {
        const int64_t first = count * b / bands;
        const int64_t end = count * (b + 1) / bands;
        try {
            helpers.push_back(start(guarded, first, end));
        } catch (const std::system_error&) {
            done_here = first;
            break;
        } catch (const std::bad_alloc&) {
            done_here = first;
            break;
        }
    }
    guarded(0, count / bands);
    // Whatever no thread took (when one could not be started) is done here.
    if (done_here < count) guarded(done_here, count);
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}
