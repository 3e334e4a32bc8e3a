// The corner distance map against a brute-force search: every value is the
// exact distance from the corner to the nearest square of a pixel of the tone,
// in eighths rounded down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "compute/distance_transform.hpp"
#include "tests/compute/tone_grid.hpp"

namespace {

int64_t gap(int64_t point, int64_t pixel) { return std::max<int64_t>({0, pixel - point, point - pixel - 1}); }

// The pixels `marked` says belong to the tone.
template <typename Marked>
std::vector<std::pair<int32_t, int32_t>> marked_pixels(int32_t lines, int32_t columns, const Marked& marked) {
    std::vector<std::pair<int32_t, int32_t>> pixels;
    for (int32_t m = 0; m < lines; ++m)
        for (int32_t n = 0; n < columns; ++n)
            if (marked(m, n)) pixels.push_back({m, n});
    return pixels;
}

// The exact distance in eighths from corner (ci, cj) to those pixels' squares.
uint16_t brute_eighths(const std::vector<std::pair<int32_t, int32_t>>& pixels, int32_t ci, int32_t cj) {
    int64_t best = -1;
    for (const auto& [m, n] : pixels) {
        const int64_t d2 = gap(ci, m) * gap(ci, m) + gap(cj, n) * gap(cj, n);
        if (best < 0 || d2 < best) best = d2;
    }
    if (best < 0) return kFarAway;
    auto e = static_cast<int64_t>(std::sqrt(64.0 * static_cast<double>(best)));
    while (e * e > 64 * best) --e;
    while ((e + 1) * (e + 1) <= 64 * best) ++e;
    return static_cast<uint16_t>(std::min<int64_t>(e, kFarAway));
}


CornerMap corner_map(const Grid<unsigned char>& grid, int32_t tono, bool& any, CornerMap::Layout layout) {
    CornerMap map = CornerMap::make(grid.lines() + 1, grid.columns() + 1, layout);
    any = tone_corner_distance_eighths(grid.view(), Tone(tono), map, 2);
    return map;
}

void expect_exact(const Grid<unsigned char>& grid, const std::string& label) {
    for (const auto layout : {CornerMap::Layout::tiles, CornerMap::Layout::lines}) {
        bool any = false;
        const CornerMap dist = corner_map(grid, 5, any, layout);
        EXPECT_EQ(any, holds(grid, 5)) << label;
        bool beyond = true;  // a tone no 8-bit pixel holds is far everywhere
        const CornerMap far = corner_map(grid, 256, beyond, layout);
        for (int32_t i = 0; i <= grid.lines(); ++i)
            for (int32_t j = 0; j <= grid.columns(); ++j) ASSERT_EQ(far.at(i, j), kFarAway) << label;
        EXPECT_FALSE(beyond) << label;
        const auto pixels =
            marked_pixels(grid.lines(), grid.columns(), [&](int32_t m, int32_t n) { return grid[m][n] == 5; });
        for (int32_t i = 0; i <= grid.lines(); ++i)
            for (int32_t j = 0; j <= grid.columns(); ++j)
                ASSERT_EQ(dist.at(i, j), brute_eighths(pixels, i, j)) << label << " at corner " << i << "," << j;
    }
}

TEST(CornerDistance, ExactOnRandomGridsOfEveryShape) {
    std::mt19937 random(7);
    const int32_t shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {13, 17}, {40, 3}, {3, 40}, {31, 29}};
    const double densities[] = {0.0, 0.002, 0.03, 0.3, 0.9, 1.0};
    for (const auto& shape : shapes)
        for (double density : densities) {
            Grid<unsigned char> grid = filled(shape[0], shape[1], 200);
            scatter(grid, random, 5, density);
            expect_exact(grid, std::to_string(shape[0]) + "x" + std::to_string(shape[1]) + " density " +
                                   std::to_string(density));
        }
    // One tone pixel at one end of a wide raster: distances up to 2000 pixels.
    Grid<unsigned char> wide = filled(3, 2000);
    wide[1][0] = 5;
    expect_exact(wide, "3x2000, one pixel");
}

// The map in tiles or by lines: every corner reads back as written, and a
// square's clearance is the least of its four corners, on a tile's inside,
// last line, last column and last corner alike.
TEST(CornerMap, CornersReadBackAndASquareIsTheLeastOfItsFourCorners) {
    std::mt19937 random(64);
    const int32_t lines = 2 * CornerMap::kTileLines + 5;
    const int32_t width = 3 * CornerMap::kTileColumns + 1;
    for (const auto layout : {CornerMap::Layout::tiles, CornerMap::Layout::lines}) {
        CornerMap map = CornerMap::make(lines, width, layout);
        ASSERT_TRUE(map.made());
        std::vector<uint16_t> values(static_cast<std::size_t>(lines * width));
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < width; ++j) {
                ASSERT_EQ(map.at(i, j), 0);
                values[static_cast<std::size_t>(i * width + j)] = static_cast<uint16_t>(random() % 65536);
                map.set(i, j, values[static_cast<std::size_t>(i * width + j)]);
            }
        const auto value = [&](int32_t i, int32_t j) { return values[static_cast<std::size_t>(i * width + j)]; };
        for (int32_t i = 0; i + 1 < lines; ++i)
            for (int32_t j = 0; j + 1 < width; ++j) {
                ASSERT_EQ(map.at(i, j), value(i, j));
                ASSERT_EQ(map.square(i, j),
                          std::min({value(i, j), value(i, j + 1), value(i + 1, j), value(i + 1, j + 1)}))
                    << i << "," << j;
            }
    }
}

// Measured on a region only, from a map of zeros: every corner outside it
// still 0; inside, never more than the exact distance, and exactly it
// wherever that is below the line's reach. Half the grids come with a second
// grid whose own tone counts as well (the railing and the perimeter).
TEST(CornerDistance, OnARegionALowerBoundEverywhereAndExactWithinReach) {
    std::mt19937 random(17);
    for (int g = 0; g < 80; ++g) {
        const bool two = g % 2 == 1;
        const int32_t lines = std::uniform_int_distribution<int32_t>(1, g < 60 ? 40 : 200)(random);
        const int32_t columns = std::uniform_int_distribution<int32_t>(1, g < 60 ? 60 : 300)(random);
        Grid<unsigned char> grid = filled(lines, columns, 200);
        Grid<unsigned char> other = filled(lines, columns, 5);
        scatter(grid, random, 5, std::uniform_real_distribution<double>(0.0, g < 60 ? 0.05 : 0.002)(random));
        if (two) scatter(other, random, 9, 0.003);
        const auto pixels = marked_pixels(
            lines, columns, [&](int32_t m, int32_t n) { return grid[m][n] == 5 || (two && other[m][n] == 9); });
        CornerRegion region;
        for (int32_t i = 0; i <= lines; ++i) {
            const int32_t a = std::uniform_int_distribution<int32_t>(0, columns + 1)(random);
            const int32_t b = std::uniform_int_distribution<int32_t>(0, columns + 1)(random);
            region.from.push_back(std::min(a, b));
            region.to.push_back(i % 5 == 0 ? 0 : std::max(a, b));
            region.reach.push_back(std::uniform_int_distribution<int32_t>(0, g < 60 ? 12 : 90)(random));
        }
        CornerMap dist =
            CornerMap::make(lines + 1, columns + 1, g % 4 < 2 ? CornerMap::Layout::tiles : CornerMap::Layout::lines);
        const ToneGrids target = two ? ToneGrids(grid.view(), Tone(5), other.view(), Tone(9)) : ToneGrids(grid.view(), Tone(5));
        const bool any = tone_corner_distance_eighths(target, dist, 2, &region);
        EXPECT_EQ(any, holds(grid, 5) || (two && holds(other, 9)));
        for (int32_t i = 0; i <= lines; ++i)
            for (int32_t j = 0; j <= columns; ++j) {
                const uint16_t got = dist.at(i, j);
                const uint16_t exact = brute_eighths(pixels, i, j);
                const auto k = static_cast<std::size_t>(i);
                const bool inside = j >= region.from[k] && j < region.to[k];
                if (!inside) {
                    ASSERT_EQ(got, 0) << "grid " << g << " corner " << i << "," << j;
                } else {
                    ASSERT_LE(got, exact) << "grid " << g << " corner " << i << "," << j;
                    if (exact < 8 * region.reach[k]) {
                        ASSERT_EQ(got, exact) << "grid " << g << " corner " << i << "," << j;
                    }
                }
            }
    }
}

}  // namespace
