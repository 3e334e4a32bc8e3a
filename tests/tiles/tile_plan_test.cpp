// How rasters are cut: the cores cover the raster once, each tile reads and
// computes its core grown by the two reaches, and the tiles a plan keeps in
// memory at once fit the memory it was given.
#include <random>

#include <gtest/gtest.h>

#include "tiles/batch.hpp"
#include "windows/tile_plan.hpp"
#include "tiles/tiles_error.hpp"

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
