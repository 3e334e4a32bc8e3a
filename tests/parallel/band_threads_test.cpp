// Work split into bands: every index done exactly once, on at most the
// threads asked for, even when no thread can be started.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "parallel/band_threads.hpp"

namespace {

std::atomic<int> started{0};
std::atomic<int> refuse_after{0};

// Starts threads until `refuse_after` have started, then refuses, as a system
// out of threads would.
std::thread scarce_start(const BandWork& work, int64_t first, int64_t end) {
    if (started.fetch_add(1) >= refuse_after.load()) throw std::system_error(EAGAIN, std::generic_category());
    return std::thread(work, first, end);
}

TEST(BandThreads, EveryIndexOnceOnAtMostTheThreadsAskedForEvenWhenThreadsCannotStart) {
    for (const int64_t count : {0, 1, 2, 7, 100}) {
        for (const int32_t threads : {1, 2, 3, 8, 200}) {
            for (const int refused : {-1, 0, 1, 2}) {  // -1: every thread starts
                std::vector<std::atomic<int>> done(static_cast<std::size_t>(count));
                std::mutex ids_mutex;
                std::set<std::thread::id> ids;
                const BandWork work = [&](int64_t first, int64_t end) {
                    for (int64_t k = first; k < end; ++k) ++done[static_cast<std::size_t>(k)];
                    const std::lock_guard<std::mutex> lock(ids_mutex);
                    ids.insert(std::this_thread::get_id());
                };
                started = 0;
                refuse_after = refused < 0 ? 1000 : refused;
                split_in_bands(count, threads, work, scarce_start);
                for (int64_t k = 0; k < count; ++k)
                    EXPECT_EQ(done[static_cast<std::size_t>(k)].load(), 1)
                        << "index " << k << " of " << count << ", " << threads << " threads, refused after " << refused;
                EXPECT_LE(static_cast<int32_t>(ids.size()), std::min(threads, 64));
            }
        }
    }
}

TEST(BandThreads, AnExceptionOnAnyThreadReachesTheCallerOnceEveryBandHasEnded) {
    // Without this a std::bad_alloc in a helper thread ends the process.
    for (const int64_t throwing : {0, 1, 3}) {  // the band of the calling thread, then of helpers
        std::atomic<int> ended{0};
        const BandWork work = [&](int64_t first, int64_t) {
            if (first == throwing) throw std::bad_alloc();
            ++ended;
        };
        started = 0;
        refuse_after = 1000;
        EXPECT_THROW(split_in_bands(4, 4, work, scarce_start), std::bad_alloc) << throwing;
        EXPECT_EQ(ended.load(), 3) << throwing;
    }
}

TEST(BandThreads, TheEnvironmentSetsTheCountFromOneToSixtyFour) {
    const char* before = std::getenv("LORVANTIDE_THREADS");
    const std::string saved = before != nullptr ? before : "";
    const int32_t machine = static_cast<int32_t>(std::max(1u, std::min(64u, std::thread::hardware_concurrency())));
    for (const auto& [value, expected] : {std::pair{"1", 1}, std::pair{"3", 3}, std::pair{"500", 64},
                                         std::pair{"0", machine}, std::pair{"x", machine}, std::pair{"2x", machine}}) {
        setenv("LORVANTIDE_THREADS", value, 1);
        EXPECT_EQ(threads_from_environment(), expected) << value;
    }
    if (before != nullptr)
        setenv("LORVANTIDE_THREADS", saved.c_str(), 1);
    else
        unsetenv("LORVANTIDE_THREADS");
}

}  // namespace
