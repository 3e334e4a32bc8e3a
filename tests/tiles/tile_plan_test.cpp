// How rasters are cut: the cores cover the raster once, each tile reads and
// computes its core grown by the two reaches, and the tiles a plan keeps in
// memory at once fit the memory it was given.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tiles/batch.hpp"
#include "windows/tile_plan.hpp"
#include "tiles/tiles_error.hpp"
#include "windows/reach_map.hpp"
#include "windows/window_io.hpp"

namespace {

RasterRect grown(const RasterRect& r, int32_t reach, int32_t lines, int32_t columns) {
    const int32_t line = std::max(0, r.line - reach), column = std::max(0, r.column - reach);
    return {line, column, std::min(lines, r.line + r.lines + reach) - line,
            std::min(columns, r.column + r.columns + reach) - column};
}

bool same(const RasterRect& a, const RasterRect& b) {
    return a.line == b.line && a.column == b.column && a.lines == b.lines && a.columns == b.columns;
}

}  // namespace

TEST(TilePlan, CoresCoverTheRasterOnceAndTheTilesFitTheMemory) {
    std::mt19937 random(11);
    auto size = [&] {
        // Small, around the reaches, and large.
        switch (std::uniform_int_distribution<int>(0, 2)(random)) {
            case 0: return std::uniform_int_distribution<int32_t>(1, 40)(random);
            case 1: return std::uniform_int_distribution<int32_t>(2900, 3200)(random);
            default: return std::uniform_int_distribution<int32_t>(3200, 60000)(random);
        }
    };
    for (int n = 0; n < 300; ++n) {
        const int32_t lines = size(), columns = size();
        const bool water = n % 2 == 0;
        const int32_t at_once = std::uniform_int_distribution<int32_t>(1, 3)(random);
        const int32_t threads = std::uniform_int_distribution<int32_t>(1, 4)(random);
        const uint64_t least = least_memory(lines, columns, water, at_once, threads);
        const uint64_t memory = least - 1 + std::uniform_int_distribution<uint64_t>(0, uint64_t{6} << 30)(random);
        const std::string label = std::to_string(lines) + " x " + std::to_string(columns) + ", " +
                                  std::to_string(memory) + " bytes";
        const std::optional<TilePlan> plan = plan_for_memory(lines, columns, water, memory, at_once, threads);
        ASSERT_EQ(plan.has_value(), memory >= least) << label;
        if (!plan) continue;
        EXPECT_LE(kResidentBase + at_once * tile_bytes(lines, columns, plan->core_lines(), plan->core_columns(), water,
                                                      threads),
                  memory)
            << label;
        // The cores, row by row of tiles, tile the raster exactly.
        int64_t area = 0;
        uint64_t largest = 0;
        int32_t line = 0, column = 0;
        for (int64_t k = 0; k < plan->count(); ++k) {
            const Tile t = plan->tile(k);
            ASSERT_EQ(t.core.line, line) << label;
            ASSERT_EQ(t.core.column, column) << label;
            ASSERT_TRUE(t.core.lines >= 1 && t.core.lines <= plan->core_lines()) << label;
            ASSERT_TRUE(t.core.columns >= 1 && t.core.columns <= plan->core_columns()) << label;
            ASSERT_TRUE(same(t.inputs, grown(t.core, kChannelReach, lines, columns))) << label;
            ASSERT_TRUE(same(t.output, grown(t.core, kFillReach, lines, columns))) << label;
            area += int64_t{t.core.lines} * t.core.columns;
            largest = std::max(largest, tile_bytes(t, water, threads));
            column += t.core.columns;
            if (column == columns) {
                column = 0;
                line += t.core.lines;
            }
        }
        EXPECT_EQ(line, lines) << label;
        EXPECT_EQ(area, int64_t{lines} * columns) << label;
        // The plan's measure is its largest tile's, exactly with a few rows and columns of tiles.
        const uint64_t measured = tile_bytes(lines, columns, plan->core_lines(), plan->core_columns(), water, threads);
        const bool few = (lines - 1) / plan->core_lines() < 64 && (columns - 1) / plan->core_columns() < 64;
        if (few) EXPECT_EQ(measured, largest) << label;
        else EXPECT_GE(measured, largest) << label;
        // Evened out: the last row and column of tiles are no slivers.
        const Tile last = plan->tile(plan->count() - 1);
        EXPECT_GT(2 * last.core.lines, plan->core_lines() - 2) << label;
        EXPECT_GT(2 * last.core.columns, plan->core_columns() - 2) << label;
    }
}

// Every cut of rasters about two search reaches wide, where clipping makes
// the windows differ: the plan's measure is its largest tile's, exactly up to
// 64 rows (or columns) of tiles, and a bound beyond.
TEST(TilePlan, TheMeasureOfAPlanIsItsLargestTile) {
    for (int32_t size = 3000; size <= 3100; size += 7)
        for (int32_t core = 1; core <= size; ++core)
            for (const bool down : {true, false}) {
                const TilePlan plan = down ? TilePlan(size, 1, core, 1) : TilePlan(1, size, 1, core);
                uint64_t largest = 0;
                for (int64_t k = 0; k < plan.count(); ++k)
                    largest = std::max(largest, tile_bytes(plan.tile(k), false, 1));
                const uint64_t measured = tile_bytes(plan.raster_lines(), plan.raster_columns(), plan.core_lines(),
                                                     plan.core_columns(), false, 1);
                if (plan.count() <= 64) ASSERT_EQ(measured, largest) << size << " by " << core;
                else ASSERT_GE(measured, largest) << size << " by " << core;
            }
}

TEST(TilePlan, MemoryWithSuffixes) {
    EXPECT_EQ(parse_bytes("--memory", "4G"), uint64_t{4} << 30);
    EXPECT_EQ(parse_bytes("--memory", "512k"), uint64_t{512} << 10);
    EXPECT_EQ(parse_bytes("--memory", "300M"), uint64_t{300} << 20);
    EXPECT_EQ(parse_bytes("--memory", "1000000"), uint64_t{1000000});
    for (const char* bad : {"", "G", "0", "-1G", "1.5G", "4T", "4GB", "99999999999G"})
        EXPECT_THROW(parse_bytes("--memory", bad), TilesError) << bad;
}

namespace {

// Random masks as a window source: channel, contour and lower boundary pixels
// scattered with the given densities (per thousand).
struct RandomMasks final : public WindowSource {
    RandomMasks(uint32_t seed, int32_t lines, int32_t columns, int channel, int contour, int boundary)
        : lines_(lines), columns_(columns), zone(size()), line(size()), railing(size()) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> per_thousand(0, 999);
        for (std::size_t k = 0; k < size(); ++k) {
            zone[k] = per_thousand(random) < channel ? 7 : 0;
            line[k] = per_thousand(random) < contour ? 8 : 0;
            railing[k] = per_thousand(random) < boundary ? 9 : 0;
        }
    }
    std::size_t size() const { return static_cast<std::size_t>(lines_) * static_cast<std::size_t>(columns_); }
    int32_t lines() const override { return lines_; }
    int32_t columns() const override { return columns_; }
    bool water_bodies() const override { return false; }
    void read(const RasterRect& rect, const WindowRows& rows) override {
        EXPECT_EQ(rows.slope, nullptr);  // the pass never reads the slope model
        for (int32_t a = 0; a < rect.lines; ++a)
            for (int32_t b = 0; b < rect.columns; ++b) {
                const std::size_t k = static_cast<std::size_t>(rect.line + a) * static_cast<std::size_t>(columns_) +
                                      static_cast<std::size_t>(rect.column + b);
                rows.zone[a][b] = zone[k];
                rows.contour[a][b] = line[k];
                rows.railing[a][b] = railing[k];
            }
    }
    int32_t lines_, columns_;
    std::vector<unsigned char> zone, line, railing;
};

// The distance from pixel (i, j) to the nearest pixel of `tone` in `mask`,
// by brute force; infinity without one.
double nearest(const RandomMasks& m, const std::vector<unsigned char>& mask, int32_t i, int32_t j) {
    double best = std::numeric_limits<double>::infinity();
    for (int32_t a = 0; a < m.lines_; ++a)
        for (int32_t b = 0; b < m.columns_; ++b)
            if (mask[static_cast<std::size_t>(a) * static_cast<std::size_t>(m.columns_) + static_cast<std::size_t>(b)] != 0)
                best = std::min(best, std::hypot(a - i, b - j));
    return best;
}

}  // namespace

// The reach map: every channel pixel lies within its block's reach of the
// nearest contour pixel and of the nearest lower-boundary pixel (the margin
// comes on top), a block without channel has no reach, a tone absent or too
// far gives the full 1500; and the tiles of a plan read at least their core
// grown by their reach and kFillReach, never more than the full halo.
TEST(ReachMap, BoundsTheDistanceToEachToneAndSizesTheHalos) {
    ChannelParameters parameters;
    parameters.zone_tone = 7;
    parameters.contour_tone = 8;
    parameters.railing_tone = 9;
    struct Case {
        uint32_t seed;
        int32_t lines, columns;
        int channel, contour, boundary;
    };
    for (const Case c : {Case{1, 70, 90, 300, 2, 3}, Case{2, 41, 130, 50, 0, 10}, Case{3, 100, 33, 5, 1, 0},
                         Case{4, 17, 17, 1000, 1000, 1000}}) {
        RandomMasks masks(c.seed, c.lines, c.columns, c.channel, c.contour, c.boundary);
        const ReachMap map = ReachMap::measure(masks, parameters, 2, nullptr);
        int64_t channel = 0;
        for (int32_t i = 0; i < c.lines; ++i)
            for (int32_t j = 0; j < c.columns; ++j) {
                const int32_t reach = map.block_reach(i / kReachBlock, j / kReachBlock);
                const std::size_t k = static_cast<std::size_t>(i) * static_cast<std::size_t>(c.columns) +
                                      static_cast<std::size_t>(j);
                if (masks.zone[k] == 0) continue;
                ++channel;
                for (const auto* tone : {&masks.line, &masks.railing}) {
                    const double distance = nearest(masks, *tone, i, j);
                    if (std::isinf(distance)) EXPECT_EQ(reach, kLargestRing);
                    else EXPECT_GE(reach, std::min<double>(kLargestRing, distance + kReachSlack)) << i << " " << j;
                }
            }
        EXPECT_EQ(map.channel_pixels(), channel);
        for (int32_t p = 0; p < map.block_lines(); ++p)
            for (int32_t q = 0; q < map.block_columns(); ++q)
                if (map.reach({p * kReachBlock, q * kReachBlock, kReachBlock, kReachBlock}) == 0) {
                    EXPECT_EQ(map.block_reach(p, q), 0);
                }
        EXPECT_EQ(ReachMap::from_bytes(map.to_bytes()).to_bytes(), map.to_bytes());
        for (const int32_t core : {1, 5, 16, 40}) {
            const TilePlan plan(c.lines, c.columns, core, core);
            for (int64_t k = 0; k < plan.count(); ++k) {
                const Tile tile = plan.tile(k, map);
                const int32_t reach = map.reach(tile.output);
                EXPECT_TRUE(same(tile.output, grown(tile.core, kFillReach, c.lines, c.columns)));
                EXPECT_TRUE(same(tile.inputs, reach == 0 ? tile.output
                                                         : grown(tile.core, reach + kFillReach, c.lines, c.columns)));
                EXPECT_TRUE(same(plan.tile(k, ReachMap::full(c.lines, c.columns)).inputs, plan.tile(k).inputs));
            }
        }
    }
}

// Plans sized by a reach map fit their memory, and read less than the full
// halo's plans when the reaches are short.
TEST(TilePlan, ReachPlansFitTheMemory) {
    ChannelParameters parameters;
    parameters.zone_tone = 7;
    parameters.contour_tone = 8;
    parameters.railing_tone = 9;
    RandomMasks masks(5, 600, 700, 20, 5, 5);
    const ReachMap map = ReachMap::measure(masks, parameters, 1, nullptr);
    EXPECT_LT(map.largest(), 100);
    for (const uint64_t memory : {uint64_t{24} << 20, uint64_t{26} << 20, uint64_t{40} << 20, uint64_t{1} << 30}) {
        const std::optional<TilePlan> plan = plan_for_reaches(map, 600, 700, false, memory, 1, 2);
        ASSERT_TRUE(plan.has_value()) << memory;
        EXPECT_LE(resident_bytes(map.largest()) + ReachMap::measure_bytes(600, 700, false) +
                      largest_tile_bytes(*plan, map, false, 2),
                  memory);
        EXPECT_LE(window_area(*plan, map), window_area(*plan, ReachMap::full(600, 700)));
    }
    EXPECT_FALSE(plan_for_reaches(map, 600, 700, false, uint64_t{20} << 20, 1, 2).has_value());
}
