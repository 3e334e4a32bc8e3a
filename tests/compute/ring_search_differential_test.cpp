// The product's ring searches against the literal walk over random grids,
// tones and centres (borders and beyond included): same distance, same pixel,
// and on a miss the same last position examined.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "band_table_search.hpp"
#include "compute_fixtures.hpp"
#include "literal_circle.hpp"
#include "product_search.hpp"

namespace {

std::string describe(const RingHit& hit) {
    std::ostringstream text;
    text << "dist " << hit.dist << " at " << hit.m2 << "," << hit.n2;
    return text.str();
}

// Compares every product search with the literal walk at one centre; returns
// the literal hit, so that callers can count what they covered.
RingHit expect_same_as_literal(const ToneGrid& grid, int32_t i, int32_t j, int32_t tono) {
    const RingHit expected = literal_circle(i, j, grid.tab(), tono, grid.nb_lig(), grid.nb_col());
    const RingHit table = BandTableSearch(grid.tab(), grid.nb_lig(), grid.nb_col(), tono).find(i, j);
    const RingHit product = ProductSearch(grid.tab(), grid.nb_lig(), grid.nb_col(), tono).find(i, j);
    const std::string where = "grid " + std::to_string(grid.nb_lig()) + "x" + std::to_string(grid.nb_col()) +
                              " centre " + std::to_string(i) + "," + std::to_string(j) + " tone " +
                              std::to_string(tono) + ": literal " + describe(expected);
    EXPECT_TRUE(table.dist == expected.dist && table.m2 == expected.m2 && table.n2 == expected.n2)
        << where << ", band table " << describe(table);
    EXPECT_TRUE(product.dist == expected.dist && product.m2 == expected.m2 && product.n2 == expected.n2)
        << where << ", product " << describe(product);
    return expected;
}

TEST(RingSearchAgainstLiteral, SmallRandomGridsWithCentresOnAndBeyondTheBorders) {
    std::mt19937 random(20261207);
    int hits = 0;
    int searches = 0;
    for (int g = 0; g < 400; ++g) {
        const int32_t nb_lig = std::uniform_int_distribution<int32_t>(1, 24)(random);
        const int32_t nb_col = std::uniform_int_distribution<int32_t>(1, 24)(random);
        ToneGrid grid(nb_lig, nb_col);
        // Tones 0 to 3, with tone 3 rare so that some searches walk far.
        std::discrete_distribution<int> tone_of({50, 25, 20, 5});
        for (int32_t i = 0; i < nb_lig; ++i)
            for (int32_t j = 0; j < nb_col; ++j) grid.at(i, j) = static_cast<unsigned char>(tone_of(random));
        for (int c = 0; c < 24; ++c) {
            const int32_t i = std::uniform_int_distribution<int32_t>(-6, nb_lig + 5)(random);
            const int32_t j = std::uniform_int_distribution<int32_t>(-6, nb_col + 5)(random);
            const int32_t tono = std::uniform_int_distribution<int32_t>(0, 3)(random);
            // Only tones certainly present: a miss costs the literal walk
            // four million samples, and the misses are covered below.
            bool present = false;
            for (int32_t m = 0; m < nb_lig && !present; ++m)
                for (int32_t n = 0; n < nb_col && !present; ++n) present = grid.at(m, n) == tono;
            if (!present) continue;
            hits += expect_same_as_literal(grid, i, j, tono).found() ? 1 : 0;
            ++searches;
        }
    }
    EXPECT_GT(searches, 6000);
    EXPECT_EQ(hits, searches);
}

TEST(RingSearchAgainstLiteral, SparseGridsReachEveryBand) {
    std::mt19937 random(7121);
    const int32_t nb_lig = 260;
    const int32_t nb_col = 330;
    int searches = 0;
    int by_band[4] = {0, 0, 0, 0};  // hits on rings up to 33, 64, 107, 1500
    for (int g = 0; g < 12; ++g) {
        ToneGrid grid(nb_lig, nb_col, 1);
        for (int k = 0; k < 4; ++k)
            grid.at(std::uniform_int_distribution<int32_t>(0, nb_lig - 1)(random),
                    std::uniform_int_distribution<int32_t>(0, nb_col - 1)(random)) = 7;
        for (int c = 0; c < 10; ++c) {
            const int32_t i = std::uniform_int_distribution<int32_t>(-40, nb_lig + 40)(random);
            const int32_t j = std::uniform_int_distribution<int32_t>(-40, nb_col + 40)(random);
            const RingHit hit = expect_same_as_literal(grid, i, j, 7);
            ASSERT_TRUE(hit.found());
            ++by_band[hit.dist > 107 ? 3 : hit.dist > 64 ? 2 : hit.dist > 33 ? 1 : 0];
            ++searches;
        }
    }
    EXPECT_EQ(searches, 120);
    EXPECT_GT(by_band[1], 0);
    EXPECT_GT(by_band[2], 0);
    EXPECT_GT(by_band[3], 0);
}

TEST(RingSearchAgainstLiteral, FarHitsAndMisses) {
    // One tone pixel far from the centre, in the band of the largest rings,
    // where neighbouring samples lie up to 3.3 pixels apart; then grids and
    // tones without any hit.
    ToneGrid wide(40, 1700);
    for (const int32_t n : {1200, 1450, 1499, 1501}) {
        wide.at(17, n) = 5;
        expect_same_as_literal(wide, 20, 2, 5);
        wide.at(17, n) = 0;
    }
    ToneGrid tall(1600, 6);
    tall.at(1520, 0) = 5;
    tall.at(1400, 5) = 5;
    expect_same_as_literal(tall, 3, 2, 5);
    ToneGrid small(6, 7, 255);
    for (const int32_t tono : {256, -1, 0}) EXPECT_FALSE(expect_same_as_literal(small, 2, 3, tono).found());
    EXPECT_FALSE(expect_same_as_literal(small, -2000, -3000, 255).found());
}

}  // namespace
