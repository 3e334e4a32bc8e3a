#include "fast_search_batch.hpp"

#include <algorithm>
#include <atomic>

#include "band_threads.hpp"

std::vector<SearchPair> find_pairs(const FastToneSearch& contour, const FastToneSearch& boundary,
                                   const std::vector<SearchCentre>& centres, int32_t threads) {
    std::vector<SearchPair> pairs(centres.size());
    const auto count = static_cast<int64_t>(centres.size());
    // Consecutive centres share most of their rings' pixels, so each thread
    // takes runs of them rather than every other one; short runs, handed out
    // as the threads come for them, so that one with slow searches does not
    // keep the others waiting.
    constexpr int64_t kRun = 512;
    std::atomic<int64_t> next{0};
    const int32_t workers = threads > 0 ? threads : fast_thread_count();
    split_in_bands(std::min<int64_t>(workers, (count + kRun - 1) / kRun), threads, [&](int64_t, int64_t) {
        for (int64_t first = next.fetch_add(kRun); first < count; first = next.fetch_add(kRun)) {
            const int64_t end = std::min(count, first + kRun);
            for (int64_t k = first; k < end; ++k) {
                const SearchCentre c = centres[static_cast<std::size_t>(k)];
                pairs[static_cast<std::size_t>(k)] = {contour.find(c.i, c.j), boundary.find(c.i, c.j)};
            }
        }
    });
    return pairs;
}
