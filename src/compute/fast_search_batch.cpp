#include "fast_search_batch.hpp"

#include "fast_threads.hpp"

std::vector<SearchPair> find_pairs(const FastToneSearch& contour, const FastToneSearch& boundary,
                                   const std::vector<SearchCentre>& centres, int32_t threads) {
    std::vector<SearchPair> pairs(centres.size());
    // Consecutive centres share most of their rings' pixels, so each thread
    // takes a run of them rather than every other one.
    split_in_bands(static_cast<int64_t>(centres.size()), threads, [&](int64_t first, int64_t end) {
        for (int64_t k = first; k < end; ++k) {
            const SearchCentre c = centres[static_cast<std::size_t>(k)];
            pairs[static_cast<std::size_t>(k)] = {contour.find(c.i, c.j), boundary.find(c.i, c.j)};
        }
    });
    return pairs;
}
