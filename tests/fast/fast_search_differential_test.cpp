// The fast search against the literal walk: same distance, same pixel, and on
// a miss the same last position examined, over random grids, tones and
// centres, borders and beyond, every ring band and coordinates above 4096.
// The literal walk costs four million sin/cos pairs per miss, so misses and
// far hits are few and chosen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "fast_search_batch.hpp"
#include "fast_test_grid.hpp"
#include "fast_tone_search.hpp"
#include "literal_circle.hpp"

namespace {

std::string describe(const RingHit& hit) {
    std::ostringstream text;
    text << "dist " << hit.dist << " at " << hit.m2 << "," << hit.n2;
    return text.str();
}

RingHit expect_same(const TestGrid& grid, const FastToneSearch& fast, int32_t i, int32_t j, int32_t tono) {
    const RingHit expected = literal_circle(i, j, grid.tab(), tono, grid.nb_lig(), grid.nb_col());
    const RingHit got = fast.find(i, j);
    EXPECT_TRUE(got.dist == expected.dist && got.m2 == expected.m2 && got.n2 == expected.n2)
        << "grid " << grid.nb_lig() << "x" << grid.nb_col() << " centre " << i << "," << j << " tone " << tono
        << ": literal " << describe(expected) << ", fast " << describe(got);
    return expected;
}

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

TEST(FastSearchAgainstLiteral, SmallRandomGridsWithCentresOnAndBeyondTheBorders) {
    std::mt19937 random(20261207);
    int hits = 0;
    for (int g = 0; g < 300; ++g) {
        const int32_t nb_lig = g < 10 ? 1 : uniform(random, 1, 30);
        const int32_t nb_col = g >= 10 && g < 20 ? 1 : uniform(random, 1, 30);
        TestGrid grid(nb_lig, nb_col, 255);
        const double density = std::uniform_real_distribution<double>(0.005, 0.6)(random);
        grid.scatter(random, 1, density);
        grid.scatter(random, 0, 0.1);
        for (int32_t tono : {0, 1}) {
            if (!grid.holds(tono)) continue;  // misses are covered below
            const FastToneSearch fast(grid.tab(), nb_lig, nb_col, tono);
            for (int c = 0; c < 12; ++c) {
                const int32_t i = uniform(random, -8, nb_lig + 7);
                const int32_t j = uniform(random, -8, nb_col + 7);
                hits += expect_same(grid, fast, i, j, tono).found();
            }
        }
    }
    EXPECT_GT(hits, 3000);
}

// The search without distances (what remains when they cannot be stored)
// examines every sample from ring 1: still the literal walk.
TEST(FastSearchAgainstLiteral, WithoutDistancesOnSmallRandomGrids) {
    std::mt19937 random(77);
    for (int g = 0; g < 60; ++g) {
        const int32_t nb_lig = uniform(random, 1, 20);
        const int32_t nb_col = uniform(random, 1, 20);
        TestGrid grid(nb_lig, nb_col, 255);
        grid.scatter(random, 6, std::uniform_real_distribution<double>(0.01, 0.5)(random));
        if (!grid.holds(6)) grid.at(nb_lig - 1, 0) = 6;
        const FastToneSearch slow(grid.tab(), nb_lig, nb_col, 6, FastToneSearch::Distances::skip);
        ASSERT_FALSE(slow.measured());
        for (int c = 0; c < 10; ++c)
            expect_same(grid, slow, uniform(random, -5, nb_lig + 4), uniform(random, -5, nb_col + 4), 6);
    }
    TestGrid grid(3, 3, 6);
    const FastToneSearch absent(grid.tab(), 3, 3, 7, FastToneSearch::Distances::skip);
    EXPECT_FALSE(expect_same(grid, absent, 1, 1, 7).found());
}

TEST(FastSearchAgainstLiteral, EveryCentreOfAGridWithASingleTonePixel) {
    // Each pixel of the neighbourhood, including the four raster corners and
    // the first line and column, where positions just below 0 truncate to 0.
    for (const auto& shape : {std::pair<int32_t, int32_t>{9, 9}, {1, 12}, {12, 1}, {2, 2}}) {
        for (int32_t ti = 0; ti < shape.first; ti += std::max(1, shape.first - 1))
            for (int32_t tj = 0; tj < shape.second; tj += std::max(1, shape.second - 1)) {
                TestGrid grid(shape.first, shape.second);
                grid.at(ti, tj) = 7;
                const FastToneSearch fast(grid.tab(), shape.first, shape.second, 7);
                for (int32_t i = -4; i < shape.first + 4; ++i)
                    for (int32_t j = -4; j < shape.second + 4; ++j) expect_same(grid, fast, i, j, 7);
            }
    }
}

TEST(FastSearchAgainstLiteral, ThinGridsBeyond4096) {
    // Above 4095 the extended difference rounds away the tiny excess of the
    // sine at 180 degrees and of the cosines at 240 and 270 degrees, which
    // moves those samples by one pixel.
    std::mt19937 random(4096);
    for (int variant = 0; variant < 2; ++variant) {
        const bool wide = variant == 0;
        TestGrid grid(wide ? 3 : 5000, wide ? 5000 : 3, 255);
        grid.scatter(random, 1, 0.05);
        const FastToneSearch fast(grid.tab(), grid.nb_lig(), grid.nb_col(), 1);
        for (int c = 0; c < 400; ++c) {
            const int32_t along = c < 200 ? uniform(random, 4090, 4999) : uniform(random, 0, 5005);
            const int32_t across = uniform(random, -3, 5);
            if (wide)
                expect_same(grid, fast, across, along, 1);
            else
                expect_same(grid, fast, along, across, 1);
        }
    }
    // The pixel below the centre, hit at 270 degrees of ring 1 from column
    // 4096 on, but only at 271 degrees of ring 2 below it.
    TestGrid grid(3, 5000);
    for (int32_t j : {4094, 4095, 4096, 4097, 4999}) {
        grid.at(2, j) = 9;
        const FastToneSearch fast(grid.tab(), 3, 5000, 9);
        expect_same(grid, fast, 1, j, 9);
        grid.at(2, j) = 0;
    }
    // On even rings the 240 degree sample leaves column j - r/2 - 1 for
    // column j - r/2 once the centre's column passes 4095.
    for (int32_t j : {4000, 4095, 4096, 4500}) {
        for (int32_t r : {2, 4, 6}) {
            // Sine of 240 degrees times r: the line of that sample.
            const int32_t line = 1 + static_cast<int32_t>(0.8660254037844386 * r);
            TestGrid tall(line + 1, 5000);
            tall.at(line, j - r / 2) = 9;
            tall.at(line, j - r / 2 - 1) = 9;
            const FastToneSearch fast(tall.tab(), tall.nb_lig(), 5000, 9);
            expect_same(tall, fast, 1, j, 9);
        }
    }
}

// Hits on the first and last rings of every band (and near the largest ring),
// where the sample count doubles and the samples spread beyond one pixel.
TEST(FastSearchAgainstLiteral, EveryRingBand) {
    std::mt19937 random(33);
    std::set<int32_t> rings_hit;
    // The centre lies outside a small raster, on each of its sides in turn, so
    // that the first rings to reach the raster are the ones wanted.
    const int32_t radii[] = {33, 34, 64, 65, 107, 108, 458, 459, 1499};
    for (int32_t radius : radii) {
        const int sides = radius > 400 ? 2 : 4;
        for (int side = 0; side < sides; ++side) {
            const int32_t nb_lig = uniform(random, 1, 9);
            const int32_t nb_col = uniform(random, 1, 9);
            TestGrid grid(nb_lig, nb_col, 255);
            grid.scatter(random, 4, 0.5);
            if (!grid.holds(4)) grid.at(nb_lig / 2, nb_col / 2) = 4;
            const FastToneSearch fast(grid.tab(), nb_lig, nb_col, 4);
            const int32_t across_lig = uniform(random, -1, nb_lig);
            const int32_t across_col = uniform(random, -1, nb_col);
            RingHit hit;
            switch ((side + radius) % 4) {
                case 0: hit = expect_same(grid, fast, -radius, across_col, 4); break;
                case 1: hit = expect_same(grid, fast, nb_lig + radius - 1, across_col, 4); break;
                case 2: hit = expect_same(grid, fast, across_lig, -radius, 4); break;
                default: hit = expect_same(grid, fast, across_lig, nb_col + radius - 1, 4); break;
            }
            if (hit.found()) rings_hit.insert(static_cast<int32_t>(hit.dist));
        }
    }
    // Inside a raster: a sparse tone whose nearest pixels lie on a band edge.
    for (int32_t radius : {33, 34, 64, 65, 107, 108, 459}) {
        const int32_t size = 2 * radius + 7;
        TestGrid grid(size, size, 255);
        for (int k = 0; k < 5; ++k) {
            const double angle = std::uniform_real_distribution<double>(0.0, 6.283185307179586)(random);
            const int32_t m = static_cast<int32_t>(std::lround(size / 2 - radius * std::sin(angle)));
            const int32_t n = static_cast<int32_t>(std::lround(size / 2 + radius * std::cos(angle)));
            grid.at(m, n) = 2;
        }
        const FastToneSearch fast(grid.tab(), size, size, 2);
        for (int32_t d : {0, 1}) {
            const RingHit hit = expect_same(grid, fast, size / 2 + d, size / 2 - d, 2);
            if (hit.found()) rings_hit.insert(static_cast<int32_t>(hit.dist));
        }
    }
    for (int32_t ring : {33, 34, 64, 65, 107, 108, 458, 459})
        EXPECT_TRUE(rings_hit.count(ring)) << "no search hit on ring " << ring;
    EXPECT_GE(*rings_hit.rbegin(), 1497);
}

// Thin curves of the tone, like contour lines and river banks: rings graze
// them over long arcs, where the skipping within a ring is tightest.
TEST(FastSearchAgainstLiteral, ThinCurvesInAMediumRaster) {
    std::mt19937 random(2026);
    for (int g = 0; g < 3; ++g) {
        const int32_t nb_lig = uniform(random, 120, 180);
        const int32_t nb_col = uniform(random, 120, 180);
        TestGrid grid(nb_lig, nb_col, 255);
        for (int curve = 0; curve < 3; ++curve) {
            // An arc of a circle, drawn one pixel thick.
            const double ci = uniform(random, -100, nb_lig + 100);
            const double cj = uniform(random, -100, nb_col + 100);
            const double radius = uniform(random, 20, 200);
            for (double a = 0.0; a < 6.283185307179586; a += 0.5 / radius) {
                const auto m = static_cast<int32_t>(std::floor(ci + radius * std::sin(a)));
                const auto n = static_cast<int32_t>(std::floor(cj + radius * std::cos(a)));
                if (m >= 0 && m < nb_lig && n >= 0 && n < nb_col) grid.at(m, n) = 1;
            }
        }
        if (!grid.holds(1)) grid.at(0, nb_col - 1) = 1;
        const FastToneSearch fast(grid.tab(), nb_lig, nb_col, 1);
        for (int c = 0; c < 60; ++c)
            expect_same(grid, fast, uniform(random, -10, nb_lig + 10), uniform(random, -10, nb_col + 10), 1);
    }
}

TEST(FastSearchAgainstLiteral, SearchesWithoutAHit) {
    TestGrid grid(6, 7, 1);
    grid.at(2, 3) = 0;
    // Tones that never match, an absent tone, and a tone out of every reach.
    for (int32_t tono : {256, -1, 200}) {
        const FastToneSearch fast(grid.tab(), 6, 7, tono);
        EXPECT_FALSE(expect_same(grid, fast, 2, 2, tono).found());
    }
    const FastToneSearch fast(grid.tab(), 6, 7, 0);
    EXPECT_FALSE(expect_same(grid, fast, -1600, 3, 0).found());
    EXPECT_FALSE(expect_same(grid, fast, 5, 1510, 0).found());
    // Far beyond the raster the miss is known without a walk; its last
    // position must still be the literal one.
    EXPECT_FALSE(expect_same(grid, fast, -2000000000, 2000000000, 0).found());
}

TEST(FastSearchAgainstLiteral, DenseToneEverywhere) {
    TestGrid grid(20, 20, 3);
    const FastToneSearch fast(grid.tab(), 20, 20, 3);
    for (int32_t i = -3; i < 23; ++i)
        for (int32_t j = -3; j < 23; j += 5) expect_same(grid, fast, i, j, 3);
}

}  // namespace

namespace {

// The searches of many centres shared among threads give, centre by centre,
// what the searches one at a time give, whatever the number of threads.
TEST(FastSearchBatch, SameAsOneAtATimeForEveryThreadCount) {
    std::mt19937 random(99);
    TestGrid contour_grid(90, 70, 255);
    TestGrid boundary_grid(90, 70, 255);
    contour_grid.scatter(random, 10, 0.01);
    boundary_grid.scatter(random, 1, 0.02);
    const FastToneSearch contour(contour_grid.tab(), 90, 70, 10);
    const FastToneSearch boundary(boundary_grid.tab(), 90, 70, 1);
    std::vector<SearchCentre> centres;
    for (int32_t i = -2; i < 92; i += 3)
        for (int32_t j = -2; j < 72; j += 3) centres.push_back({i, j});
    const char* before = std::getenv("LORVANTIDE_THREADS");
    const std::string saved = before ? before : "";
    for (const char* threads : {"1", "2", "3", "7"}) {
        setenv("LORVANTIDE_THREADS", threads, 1);
        const std::vector<SearchPair> pairs = find_pairs(contour, boundary, centres);
        ASSERT_EQ(pairs.size(), centres.size());
        for (std::size_t k = 0; k < centres.size(); ++k) {
            const RingHit a = contour.find(centres[k].i, centres[k].j);
            const RingHit b = boundary.find(centres[k].i, centres[k].j);
            ASSERT_TRUE(pairs[k].contour.dist == a.dist && pairs[k].contour.m2 == a.m2 && pairs[k].contour.n2 == a.n2)
                << threads << " threads, centre " << centres[k].i << "," << centres[k].j;
            ASSERT_TRUE(pairs[k].boundary.dist == b.dist && pairs[k].boundary.m2 == b.m2 &&
                        pairs[k].boundary.n2 == b.n2)
                << threads << " threads, centre " << centres[k].i << "," << centres[k].j;
        }
    }
    if (before)
        setenv("LORVANTIDE_THREADS", saved.c_str(), 1);
    else
        unsetenv("LORVANTIDE_THREADS");
}

}  // namespace
