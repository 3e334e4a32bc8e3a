// The ring search's known answers, checked on the literal walk (the reference),
// on the band-table search and on circle (the product search with its run record).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "band_table_search.hpp"
#include "compute_fixtures.hpp"
#include "literal_circle.hpp"
#include "product_search.hpp"

namespace {

using SearchFn = std::function<RingHit(const ToneGrid&, int32_t i, int32_t j, int32_t tono)>;

struct NamedSearch {
    std::string name;
    SearchFn search;
};

std::vector<NamedSearch> all_searches() {
    return {
        {"literal",
         [](const ToneGrid& g, int32_t i, int32_t j, int32_t tono) {
             return literal_circle(i, j, g.tab(), tono, g.nb_lig(), g.nb_col());
         }},
        {"band_table",
         [](const ToneGrid& g, int32_t i, int32_t j, int32_t tono) {
             return BandTableSearch(g.tab(), g.nb_lig(), g.nb_col(), tono).find(i, j);
         }},
        {"circle",
         [](const ToneGrid& g, int32_t i, int32_t j, int32_t tono) {
             Run run;  // only the size and m2, n2 of the record are used
             run.nb_lig = g.nb_lig();
             run.nb_col = g.nb_col();
             run.m2 = -77;
             run.n2 = -77;
             RingHit hit;
             hit.dist = circle(run, i, j, g.tab(), tono);
             hit.m2 = run.m2;
             hit.n2 = run.n2;
             return hit;
         }},
    };
}

void PrintTo(const NamedSearch& search, std::ostream* os) { *os << search.name; }

class RingSearchTable : public ::testing::TestWithParam<NamedSearch> {};

constexpr int32_t kTone = 9;

struct TableRow {
    int32_t di, dj;  // pixel holding the tone, relative to the centre
    double dist;
};

// Result of each single-pixel grid; the comment gives the angle of the hit.
const TableRow kTable[] = {
    {0, 0, 1.0},    // 271
    {0, 1, 1.0},    // 0
    {-1, 0, 1.0},   // 1
    {-1, -1, 1.0},  // 91
    {0, -1, 1.0},   // 181
    {1, -1, 1.0},   // 270
    {-1, 1, 2.0},   // 1
    {1, 0, 2.0},    // 271
    {1, 1, 2.0},    // 300
    {0, 3, 3.0},    // 0
    {0, -3, 3.0},   // 181
    {-3, 0, 3.0},   // 71
    {3, 0, 4.0},    // 271 of ring 4: on ring 3 the 270 sample falls on column j - 1
};

TEST_P(RingSearchTable, EverySinglePixelRowGivesItsRadiusAndPixel) {
    const auto& search = GetParam().search;
    // Centres well inside and near the top-left corner (line and column 3
    // still leave room for every pixel of the table).
    for (const auto& [i, j] : {std::pair{10, 12}, std::pair{3, 3}, std::pair{4000, 4095}}) {
        ToneGrid grid(i + 8, j + 8);
        for (const TableRow& row : kTable) {
            grid.at(i + row.di, j + row.dj) = kTone;
            const RingHit hit = search(grid, i, j, kTone);
            EXPECT_EQ(hit.dist, row.dist) << "centre " << i << "," << j << " tone at " << row.di << "," << row.dj;
            EXPECT_EQ(hit.m2, i + row.di) << "centre " << i << "," << j << " tone at " << row.di << "," << row.dj;
            EXPECT_EQ(hit.n2, j + row.dj) << "centre " << i << "," << j << " tone at " << row.di << "," << row.dj;
            grid.at(i + row.di, j + row.dj) = 0;
        }
    }
}

TEST_P(RingSearchTable, PositionsJustOutsideLineOrColumnZeroTruncateOntoThem) {
    const auto& search = GetParam().search;
    {
        // Column 0: the 270 degree sample of ring 3 lies just left of column 0.
        ToneGrid grid(12, 6);
        grid.at(5 + 3, 0) = kTone;
        const RingHit hit = search(grid, 5, 0, kTone);
        EXPECT_EQ(hit.dist, 3.0);
        EXPECT_EQ(hit.m2, 8);
        EXPECT_EQ(hit.n2, 0);
    }
    {
        // Line 0: the 1 degree sample of ring 1 lies just above line 0.
        ToneGrid grid(4, 9);
        grid.at(0, 4) = kTone;
        const RingHit hit = search(grid, 0, 4, kTone);
        EXPECT_EQ(hit.dist, 1.0);
        EXPECT_EQ(hit.m2, 0);
        EXPECT_EQ(hit.n2, 4);
    }
}

TEST_P(RingSearchTable, WithinOneRingTheSmallerAngleWins) {
    const auto& search = GetParam().search;
    ToneGrid grid(20, 20);
    grid.at(10 - 3, 10) = kTone;  // 71 degrees
    grid.at(10, 10 + 3) = kTone;  // 0 degrees
    const RingHit hit = search(grid, 10, 10, kTone);
    EXPECT_EQ(hit.dist, 3.0);
    EXPECT_EQ(hit.m2, 10);
    EXPECT_EQ(hit.n2, 13);
}

TEST_P(RingSearchTable, WithoutAHitTheLastPositionIsThreeLinesDownAnd1499ColumnsRight) {
    const auto& search = GetParam().search;
    // Tones that no 8-bit pixel holds, over grids filled with their wrapped
    // values, and a tone simply absent from the grid.
    struct Case {
        int32_t tono;
        unsigned char fill;
    };
    for (const Case c : {Case{256, 0}, Case{-1, 255}, Case{kTone, 0}}) {
        ToneGrid grid(9, 11, c.fill);
        const RingHit hit = search(grid, 4, 5, c.tono);
        EXPECT_FALSE(hit.found()) << "tone " << c.tono;
        EXPECT_EQ(hit.dist, kNoToneFound) << "tone " << c.tono;
        EXPECT_EQ(hit.m2, 4 + 3) << "tone " << c.tono;
        EXPECT_EQ(hit.n2, 5 + 1499) << "tone " << c.tono;
    }
}

TEST_P(RingSearchTable, NoRingReachesMoreThan1500LinesOrColumnsAway) {
    const auto& search = GetParam().search;
    {
        ToneGrid grid(1502, 3);
        grid.at(1501, 1) = kTone;
        const RingHit hit = search(grid, 0, 1, kTone);
        EXPECT_FALSE(hit.found());
        EXPECT_EQ(hit.m2, 3);
        EXPECT_EQ(hit.n2, 1500);
    }
    {
        // Straight down, the last ring reaches line 1500, in the column left
        // of the centre (the cosine at 270 degrees lies just below 0).
        ToneGrid grid(1502, 3);
        grid.at(1500, 0) = kTone;
        const RingHit hit = search(grid, 0, 1, kTone);
        EXPECT_EQ(hit.dist, 1500.0);
        EXPECT_EQ(hit.m2, 1500);
        EXPECT_EQ(hit.n2, 0);
    }
}

TEST_P(RingSearchTable, CentresOutsideTheRasterReadOnlyInsideIt) {
    const auto& search = GetParam().search;
    ToneGrid grid(5, 5, kTone);
    // Two columns left of the grid: ring 2 at 0 degrees reaches column 0.
    RingHit hit = search(grid, 2, -2, kTone);
    EXPECT_EQ(hit.dist, 2.0);
    EXPECT_EQ(hit.m2, 2);
    EXPECT_EQ(hit.n2, 0);
    // Far beyond every border: nothing of the grid is ever sampled.
    hit = search(grid, -5000, 9000, kTone);
    EXPECT_FALSE(hit.found());
    // -4996.73 truncates toward zero.
    EXPECT_EQ(hit.m2, -4996);
    EXPECT_EQ(hit.n2, 9000 + 1499);
}

INSTANTIATE_TEST_SUITE_P(EverySearch, RingSearchTable, ::testing::ValuesIn(all_searches()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
