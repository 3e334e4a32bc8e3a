// The distance map against a brute-force nearest-pixel search: every value is
// the exact distance in eighths rounded down, 0 exactly on the tone.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "distance_transform.hpp"
#include "fast_test_grid.hpp"

namespace {

uint16_t brute_eighths(const TestGrid& grid, int32_t i, int32_t j, int32_t tono) {
    int64_t best = -1;
    for (int32_t m = 0; m < grid.nb_lig(); ++m)
        for (int32_t n = 0; n < grid.nb_col(); ++n)
            if (static_cast<int32_t>(grid.tab()[m][n]) == tono) {
                const int64_t d2 = int64_t{m - i} * (m - i) + int64_t{n - j} * (n - j);
                if (best < 0 || d2 < best) best = d2;
            }
    if (best < 0) return kFarAway;
    int64_t e = static_cast<int64_t>(std::sqrt(64.0 * static_cast<double>(best)));
    while (e * e > 64 * best) --e;
    while ((e + 1) * (e + 1) <= 64 * best) ++e;
    return static_cast<uint16_t>(std::min<int64_t>(e, kFarAway));
}

TEST(ToneDistance, ExactOnRandomGridsOfEveryShape) {
    std::mt19937 random(7);
    const int32_t shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {13, 17}, {40, 3}, {3, 40}, {31, 29}};
    const double densities[] = {0.0, 0.002, 0.03, 0.3, 0.9, 1.0};
    for (const auto& shape : shapes)
        for (double density : densities) {
            TestGrid grid(shape[0], shape[1], 200);
            grid.scatter(random, 5, density);
            std::vector<uint16_t> dist(static_cast<std::size_t>(shape[0]) * shape[1]);
            const bool any = tone_distance_eighths(grid.tab(), shape[0], shape[1], 5, dist.data());
            EXPECT_EQ(any, grid.holds(5));
            for (int32_t i = 0; i < shape[0]; ++i)
                for (int32_t j = 0; j < shape[1]; ++j)
                    ASSERT_EQ(dist[static_cast<std::size_t>(i) * shape[1] + j], brute_eighths(grid, i, j, 5))
                        << shape[0] << "x" << shape[1] << " density " << density << " at " << i << "," << j;
        }
}

TEST(ToneDistance, SinglePixelGivesTheDistanceAlongAWideRaster) {
    // One tone pixel at one end of a 3 x 2000 raster: far values stay exact.
    TestGrid grid(3, 2000);
    grid.at(1, 0) = 1;
    std::vector<uint16_t> dist(3 * 2000);
    ASSERT_TRUE(tone_distance_eighths(grid.tab(), 3, 2000, 1, dist.data()));
    EXPECT_EQ(dist[1 * 2000 + 1999], 8 * 1999);
    EXPECT_EQ(dist[0 * 2000 + 3], static_cast<uint16_t>(std::floor(8 * std::sqrt(10.0))));
    EXPECT_EQ(dist[1 * 2000 + 0], 0);
}

}  // namespace
