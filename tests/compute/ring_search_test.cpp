// The ring search against the literal walk (tests/reference): same distance,
// same pixel, and on a miss the same last position examined, with and without
// its distance maps, over random grids, tones and centres (borders and beyond),
// every ring band, coordinates above 4096 and windows of a raster; and the
// answers that hold whatever the literal walk says. The literal walk costs
// four million sin/cos pairs per miss, so misses and far hits are few and
// chosen.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <sstream>

#include "lib/grid.hpp"
#include "tests/reference/literal_circle.hpp"
#include "compute/ring_search.hpp"
#include "compute/search_region.hpp"
#include "tests/compute/tone_grid.hpp"

namespace {

using Distances = RingSearch::Distances;

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

// A grid of `low` to `high` lines and columns, every pixel `fill`.
Grid<unsigned char> random_grid(std::mt19937& random, int32_t low, int32_t high, unsigned char fill) {
    const int32_t lines = uniform(random, low, high);
    return filled(lines, uniform(random, low, high), fill);
}

std::string describe(const RingHit& hit) {
    std::ostringstream text;
    text << "dist " << hit.distance << " at " << hit.line << "," << hit.column;
    return text.str();
}

bool same(const RingHit& a, const RingHit& b) { return a.distance == b.distance && a.line == b.line && a.column == b.column; }

// The search at one centre against the literal walk; returns the literal hit.
RingHit expect_literal(const Grid<unsigned char>& grid, const RingSearch& search, int32_t i, int32_t j,
                       int32_t tono) {
    const RingHit expected = literal_circle(i, j, grid.rows(), tono, grid.lines(), grid.columns());
    const RingHit got = search.find(i, j);
    EXPECT_TRUE(same(got, expected)) << "grid " << grid.lines() << "x" << grid.columns() << " centre " << i << ","
                                     << j << " tone " << tono << ": literal " << describe(expected) << ", search "
                                     << describe(got) << (search.measured() ? "" : " (without distances)");
    return expected;
}

// Both ways of searching agree at one centre; the hit of the measured one.
RingHit both_ways(const Grid<unsigned char>& grid, int32_t i, int32_t j, int32_t tono) {
    const RingHit fast = RingSearch(grid.view(), Tone(tono), 2).find(i, j);
    const RingHit slow = RingSearch(grid.view(), Tone(tono), 1, Distances::skip).find(i, j);
    EXPECT_TRUE(same(fast, slow)) << "centre " << i << "," << j << ": " << describe(fast) << " against "
                                  << describe(slow) << " without distances";
    return fast;
}

// Known answers where the literal walk and the search share their code (the
// truncation of positions, the largest ring), on both ways of searching.
TEST(RingSearch, KnownAnswers) {
    constexpr int32_t kTone = 9;
    // Positions just left of column 0 or above line 0 truncate onto them.
    Grid<unsigned char> left = filled(12, 6);
    left[8][0] = kTone;
    EXPECT_TRUE(same(both_ways(left, 5, 0, kTone), RingHit{3.0, 8, 0}));
    Grid<unsigned char> top = filled(4, 9);
    top[0][4] = kTone;
    EXPECT_TRUE(same(both_ways(top, 0, 4, kTone), RingHit{1.0, 0, 4}));
    // Without a hit the last position is three lines down and 1499 columns
    // right; tones no 8-bit pixel holds never match.
    for (const auto& [tono, fill] : {std::pair{256, 0}, std::pair{-1, 255}, std::pair{kTone, 0}}) {
        Grid<unsigned char> grid = filled(9, 11, static_cast<unsigned char>(fill));
        EXPECT_TRUE(same(both_ways(grid, 4, 5, tono), RingHit{kNoToneFound, 7, 1504})) << tono;
    }
    // No ring reaches more than 1500 lines away; the last one reaches line
    // 1500 straight down, in the column left of the centre.
    Grid<unsigned char> tall = filled(1502, 3);
    tall[1501][1] = kTone;
    EXPECT_TRUE(same(both_ways(tall, 0, 1, kTone), RingHit{kNoToneFound, 3, 1500}));
    tall[1500][0] = kTone;
    EXPECT_TRUE(same(both_ways(tall, 0, 1, kTone), RingHit{1500.0, 1500, 0}));
    // Centres outside the raster read only inside it.
    Grid<unsigned char> full = filled(5, 5, kTone);
    EXPECT_TRUE(same(both_ways(full, 2, -2, kTone), RingHit{2.0, 2, 0}));
    EXPECT_TRUE(same(both_ways(full, -5000, 9000, kTone), RingHit{kNoToneFound, -4996, 10499}));
}

TEST(RingSearch, RandomGridsWithCentresOnAndBeyondTheBorders) {
    std::mt19937 random(20261207);
    int hits = 0;
    for (int g = 0; g < 300; ++g) {
        const int32_t lines = g < 10 ? 1 : uniform(random, 1, 30);
        const int32_t columns = g >= 10 && g < 20 ? 1 : uniform(random, 1, 30);
        Grid<unsigned char> grid = filled(lines, columns, 255);
        scatter(grid, random, 1, std::uniform_real_distribution<double>(0.005, 0.9)(random));
        scatter(grid, random, 0, 0.1);
        for (const int32_t tono : {0, 1}) {
            if (!holds(grid, tono)) continue;  // misses are covered apart
            const RingSearch fast(grid.view(), Tone(tono), 1 + g % 3);
            const RingSearch slow(grid.view(), Tone(tono), 1, Distances::skip);
            ASSERT_FALSE(slow.measured());
            for (int c = 0; c < 12; ++c) {
                const int32_t i = uniform(random, -8, lines + 7);
                const int32_t j = uniform(random, -8, columns + 7);
                hits += expect_literal(grid, fast, i, j, tono).found();
                if (c % 4 == 0) expect_literal(grid, slow, i, j, tono);
            }
        }
    }
    EXPECT_GT(hits, 3000);
}

// The lower boundary is two grids, each with its own tone (tone_grids.hpp):
// the search over both finds the literal walk's first hit on the grid that
// marks their union, with and without its distances; a tone that marks
// nothing leaves the other grid alone.
TEST(RingSearch, TwoGridsEachWithItsToneAreSearchedAsTheirUnion) {
    std::mt19937 random(1207);
    for (int g = 0; g < 60; ++g) {
        Grid<unsigned char> railing = random_grid(random, 1, 40, 0);
        const int32_t lines = railing.lines();
        const int32_t columns = railing.columns();
        Grid<unsigned char> shore = filled(lines, columns, 3);
        scatter(railing, random, 7, std::uniform_real_distribution<double>(0.0, 0.05)(random));
        scatter(shore, random, 50, std::uniform_real_distribution<double>(0.0, 0.05)(random));
        const int32_t shore_tone = g % 4 == 3 ? 256 : 50;  // 256 marks nothing
        Grid<unsigned char> both = filled(lines, columns, 255);
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j)
                if (railing[i][j] == 7 || shore[i][j] == shore_tone) both[i][j] = 1;
        if (!holds(both, 1)) continue;  // misses are covered apart
        const ToneGrids target(railing.view(), Tone(7), shore.view(), Tone(shore_tone));
        const RasterRect whole{0, 0, lines, columns};
        const RingSearch fast(target, lines, columns, whole, 2);
        const RingSearch slow(target, lines, columns, whole, 1, Distances::skip);
        for (int c = 0; c < 10; ++c) {
            const int32_t i = uniform(random, -5, lines + 4);
            const int32_t j = uniform(random, -5, columns + 4);
            expect_literal(both, fast, i, j, 1);
            if (c % 3 == 0) expect_literal(both, slow, i, j, 1);
        }
    }
}

TEST(RingSearch, EveryCentreOfAGridWithASingleTonePixel) {
    // Each corner pixel of small grids, where positions just below 0 truncate to 0.
    for (const auto& [lines, columns] : {std::pair{9, 9}, std::pair{1, 12}, std::pair{12, 1}, std::pair{2, 2}})
        for (int32_t ti = 0; ti < lines; ti += std::max(1, lines - 1))
            for (int32_t tj = 0; tj < columns; tj += std::max(1, columns - 1)) {
                Grid<unsigned char> grid = filled(lines, columns);
                grid[ti][tj] = 7;
                const RingSearch fast(grid.view(), Tone(7));
                for (int32_t i = -4; i < lines + 4; ++i)
                    for (int32_t j = -4; j < columns + 4; ++j) expect_literal(grid, fast, i, j, 7);
            }
}

TEST(RingSearch, ThinGridsBeyond4096) {
    // Above 4095 the extended difference rounds away the tiny excess of the
    // sine at 180 degrees and of the cosines at 240 and 270 degrees, which
    // moves those samples by one pixel.
    std::mt19937 random(4096);
    for (const bool wide : {true, false}) {
        Grid<unsigned char> grid = filled(wide ? 3 : 5000, wide ? 5000 : 3, 255);
        scatter(grid, random, 1, 0.05);
        const RingSearch fast(grid.view(), Tone(1), 2);
        for (int c = 0; c < 400; ++c) {
            const int32_t along = c < 200 ? uniform(random, 4090, 4999) : uniform(random, 0, 5005);
            const int32_t across = uniform(random, -3, 5);
            expect_literal(grid, fast, wide ? across : along, wide ? along : across, 1);
        }
    }
    // The pixel below the centre, hit at 270 degrees of ring 1 from column
    // 4096 on, but only at 271 degrees of ring 2 below it.
    for (const int32_t j : {4094, 4095, 4096, 4097, 4999}) {
        Grid<unsigned char> grid = filled(3, 5000);
        grid[2][j] = 9;
        expect_literal(grid, RingSearch(grid.view(), Tone(9)), 1, j, 9);
    }
    // On even rings the 240 degree sample leaves column j - r/2 - 1 for
    // column j - r/2 once the centre's column passes 4095.
    for (const int32_t j : {4000, 4095, 4096, 4500})
        for (const int32_t r : {2, 4, 6}) {
            const int32_t line = 1 + static_cast<int32_t>(0.8660254037844386 * r);
            Grid<unsigned char> tall = filled(line + 1, 5000);
            tall[line][j - r / 2] = 9;
            tall[line][j - r / 2 - 1] = 9;
            expect_literal(tall, RingSearch(tall.view(), Tone(9)), 1, j, 9);
        }
}

// Hits on the first and last rings of every band (and near the largest ring),
// where the sample count doubles and the samples spread beyond one pixel.
TEST(RingSearch, EveryRingBand) {
    std::mt19937 random(33);
    std::set<int32_t> rings_hit;
    // The centre lies outside a small raster, on each of its sides in turn, so
    // that the first rings to reach the raster are the ones wanted.
    for (const int32_t radius : {33, 34, 64, 65, 107, 108, 458, 459, 1499}) {
        for (int side = 0; side < (radius > 400 ? 2 : 4); ++side) {
            Grid<unsigned char> grid = random_grid(random, 1, 9, 255);
            const int32_t lines = grid.lines();
            const int32_t columns = grid.columns();
            scatter(grid, random, 4, 0.5);
            if (!holds(grid, 4)) grid[lines / 2][columns / 2] = 4;
            const RingSearch fast(grid.view(), Tone(4));
            const int32_t across_lines = uniform(random, -1, lines);
            const int32_t across_columns = uniform(random, -1, columns);
            RingHit hit;
            switch ((side + radius) % 4) {
                case 0: hit = expect_literal(grid, fast, -radius, across_columns, 4); break;
                case 1: hit = expect_literal(grid, fast, lines + radius - 1, across_columns, 4); break;
                case 2: hit = expect_literal(grid, fast, across_lines, -radius, 4); break;
                default: hit = expect_literal(grid, fast, across_lines, columns + radius - 1, 4); break;
            }
            if (hit.found()) rings_hit.insert(static_cast<int32_t>(hit.distance));
        }
    }
    // Inside a raster: a sparse tone whose nearest pixels lie on a band edge.
    for (const int32_t radius : {33, 34, 64, 65, 107, 108, 459}) {
        const int32_t size = 2 * radius + 7;
        Grid<unsigned char> grid = filled(size, size, 255);
        for (int k = 0; k < 5; ++k) {
            const double angle = std::uniform_real_distribution<double>(0.0, 6.283185307179586)(random);
            grid[static_cast<int32_t>(std::lround(size / 2 - radius * std::sin(angle)))]
                [static_cast<int32_t>(std::lround(size / 2 + radius * std::cos(angle)))] = 2;
        }
        const RingSearch fast(grid.view(), Tone(2));
        for (const int32_t d : {0, 1}) {
            const RingHit hit = expect_literal(grid, fast, size / 2 + d, size / 2 - d, 2);
            if (hit.found()) rings_hit.insert(static_cast<int32_t>(hit.distance));
        }
    }
    for (const int32_t ring : {33, 34, 64, 65, 107, 108, 458, 459})
        EXPECT_TRUE(rings_hit.count(ring)) << "no search hit on ring " << ring;
    EXPECT_GE(*rings_hit.rbegin(), 1497);
}

// Thin curves of the tone, like contour lines and river banks: rings graze
// them over long arcs, where the skipping within a ring is tightest.
TEST(RingSearch, ThinCurvesInAMediumRaster) {
    std::mt19937 random(2026);
    for (int g = 0; g < 3; ++g) {
        Grid<unsigned char> grid = random_grid(random, 120, 180, 255);
        const int32_t lines = grid.lines();
        const int32_t columns = grid.columns();
        for (int curve = 0; curve < 3; ++curve) {
            const double ci = uniform(random, -100, lines + 100);
            const double cj = uniform(random, -100, columns + 100);
            const double radius = uniform(random, 20, 200);
            for (double a = 0.0; a < 6.283185307179586; a += 0.5 / radius) {
                const auto m = static_cast<int32_t>(std::floor(ci + radius * std::sin(a)));
                const auto n = static_cast<int32_t>(std::floor(cj + radius * std::cos(a)));
                if (m >= 0 && m < lines && n >= 0 && n < columns) grid[m][n] = 1;
            }
        }
        if (!holds(grid, 1)) grid[0][columns - 1] = 1;
        const RingSearch fast(grid.view(), Tone(1), 2);
        for (int c = 0; c < 60; ++c)
            expect_literal(grid, fast, uniform(random, -10, lines + 10), uniform(random, -10, columns + 10), 1);
    }
}

TEST(RingSearch, FarHitsAndMisses) {
    // One pixel in the band of the largest rings, where neighbouring samples
    // lie up to 3.3 pixels apart.
    Grid<unsigned char> wide = filled(40, 1700);
    for (const int32_t n : {1200, 1450, 1499, 1501}) {
        wide[17][n] = 5;
        expect_literal(wide, RingSearch(wide.view(), Tone(5)), 20, 2, 5);
        wide[17][n] = 0;
    }
    Grid<unsigned char> tall = filled(1600, 6);
    tall[1520][0] = 5;
    tall[1400][5] = 5;
    expect_literal(tall, RingSearch(tall.view(), Tone(5)), 3, 2, 5);
    // Tones out of every reach: far beyond the raster the miss is known
    // without a walk, but its last position must still be the literal one.
    Grid<unsigned char> small = filled(6, 7, 1);
    small[2][3] = 0;
    const RingSearch zero(small.view(), Tone(0));
    for (const auto& [i, j] : {std::pair{-1600, 3}, std::pair{-2000000000, 2000000000}})
        EXPECT_FALSE(expect_literal(small, zero, i, j, 0).found());
}

// A search over a window of a raster gives the whole raster's hit for every
// centre whose rings all fall inside the window (or outside the raster), and
// never reads outside the window for any other.
TEST(RingSearch, WindowsOfARaster) {
    std::mt19937 random(71);
    const int32_t lines = 7;
    const int32_t columns = 2 * kLargestRing + 400;
    Grid<unsigned char> raster = filled(lines, columns, 255);
    scatter(raster, random, 3, 0.002);
    const RingSearch whole(raster.view(), Tone(3), 2);
    for (const int32_t first : {0, 37, 180}) {
        const RasterRect place{0, first, lines, std::min(columns - first, 2 * kLargestRing + 211)};
        const auto rows = rows_from(GridView<const unsigned char>(raster.view()), first);
        const GridView<const unsigned char> window(rows.data(), lines, place.columns);
        const RingSearch part(window, Tone(3), lines, columns, place, 2);
        for (int c = 0; c < 300; ++c) {
            const int32_t i = uniform(random, -3, lines + 2);
            const int32_t j = c % 2 == 0 ? uniform(random, first - 20, first + place.columns + 20)
                                         : uniform(random, first + kLargestRing, first + place.columns - kLargestRing - 1);
            const RingHit hit = part.find(i, j);  // read only inside the window, whatever the centre
            const bool inside = (first == 0 || j - kLargestRing >= first) &&
                                (first + place.columns == columns || j + kLargestRing < first + place.columns);
            if (inside) {
                EXPECT_TRUE(same(hit, whole.find(i, j))) << "window at " << first << ", centre " << i << "," << j;
            }
        }
    }
    // And the whole-raster search is the literal one on a few of those centres.
    for (const int32_t j : {1, 1600, columns - 2}) expect_literal(raster, whole, 3, j, 3);
}


// The distances measured only where a channel's searches can look
// (search_region.hpp) change how much a search skips, never what it finds:
// from every channel pixel, the same hit as with the distances measured
// everywhere; and a channel with no pixel measures nothing.
TEST(RingSearch, DistancesMeasuredOnlyAroundTheChannelFindTheSameHits) {
    std::mt19937 random(404);
    for (int g = 0; g < 6; ++g) {
        Grid<unsigned char> tones = random_grid(random, 150, 400, 0);
        const int32_t lines = tones.lines();
        const int32_t columns = tones.columns();
        scatter(tones, random, 9, g % 2 == 0 ? 0.0005 : 0.01);
        // A winding band of channel, and a lake-like blob far from any tone.
        Grid<unsigned char> zone = filled(lines, columns, 0);
        for (int32_t i = 0; i < lines; ++i) {
            const auto centre = static_cast<int32_t>(columns / 2 + columns / 4 * std::sin(i / 37.0 + g));
            for (int32_t j = std::max(0, centre - 6); j < std::min(columns, centre + 6); ++j) zone[i][j] = 1;
        }
        for (int32_t i = lines / 3; i < lines / 3 + 20; ++i)
            for (int32_t j = 5; j < 40; ++j) zone[i][j] = 1;
        const Elevations channel = Elevations::for_channel(zone.view(), Tone(1));
        const ChannelWindow window = ChannelWindow::whole(lines, columns);
        const CornerRegion region = search_region(ToneGrids(tones.view(), Tone(9)), channel, window, 2);
        const RingSearch everywhere(tones.view(), Tone(9), 2);
        const RingSearch around(tones.view(), Tone(9), lines, columns, window.inputs, 2, RingSearch::Distances::measure,
                                &region);
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j)
                if (zone[i][j] == 1 && (i + j) % 3 == 0) {
                    ASSERT_TRUE(same(around.find(i, j), everywhere.find(i, j)))
                        << "grid " << g << " centre " << i << "," << j;
                }
    }
    // No channel: the region is empty, and nothing is measured or read.
    const Grid<unsigned char> tones = filled(20, 30, 9);
    const Grid<unsigned char> zone = filled(20, 30, 0);
    const Elevations none = Elevations::for_channel(zone.view(), Tone(1));
    const CornerRegion region = search_region(ToneGrids(tones.view(), Tone(9)), none, ChannelWindow::whole(20, 30), 2);
    for (std::size_t k = 0; k < region.from.size(); ++k) EXPECT_EQ(region.from[k], region.to[k]);
    const RingSearch around(tones.view(), Tone(9), 20, 30, {0, 0, 20, 30}, 2, RingSearch::Distances::measure, &region);
    EXPECT_TRUE(same(around.find(3, 4), literal_circle(3, 4, tones.rows(), 9, 20, 30)));
}

}  // namespace
