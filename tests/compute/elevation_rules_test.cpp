// The elevation arithmetic: the worked interpolation examples, the railing
// base and the neighbour mean.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "elevation_rules.hpp"

namespace {

TEST(DistanceInterpolation, WorkedExamples) {
    // Contour at 100, a non-railing boundary pixel at 80, three pixels from the
    // contour and one from the boundary: a quarter of the way up.
    EXPECT_EQ(distance_interpolation(100.0, 80.0, 3.0, 1.0), 85.0);
    // The same pixel as a railing pixel with a railing height of 2.
    EXPECT_EQ(distance_interpolation(100.0, railing_base(80, 2), 3.0, 1.0), 83.5);
    // As far from the contour as from the boundary: the mid-point.
    EXPECT_EQ(distance_interpolation(100.0, 80.0, 2.0, 2.0), 90.0);
    // A boundary above the contour gives a descending profile.
    EXPECT_EQ(distance_interpolation(10.0, 30.0, 1.0, 3.0), 15.0);
}

TEST(DistanceInterpolation, IsRoundedOnceFromExtendedPrecision) {
    // (100 - 220) / (15 + 29) * 29 + 220. Each step rounded to a 64-bit
    // significand and the end to double gives 0x1.19d1745d1745dp+7 (worked out
    // in exact rational arithmetic); rounding every step to double instead
    // would give the next double up, 0x1.19d1745d1745ep+7.
    EXPECT_EQ(distance_interpolation(100.0, 220.0, 15.0, 29.0), 0x1.19d1745d1745dp+7);
    // Another pair of the same kind, with a negative base.
    EXPECT_EQ(distance_interpolation(101.0, -41.0, 26.0, 10.0), -0x1.8e38e38e38e39p+0);
}

TEST(RailingBase, SubtractsTheHeightAndHoldsAtTheEndsOfTheIntegerRange) {
    EXPECT_EQ(railing_base(80, 2), 78.0);
    EXPECT_EQ(railing_base(-5, 10), -15.0);
    EXPECT_EQ(railing_base(std::numeric_limits<int32_t>::min(), 1), -2147483648.0);
    EXPECT_EQ(railing_base(std::numeric_limits<int32_t>::max(), -1), 2147483647.0);
    EXPECT_EQ(railing_base(2000000000, -2000000000), 2147483647.0);
}

TEST(NeighbourMean, DividesTheSumByTheCount) {
    EXPECT_EQ(neighbour_mean(42.5, 1), 42.5);
    EXPECT_EQ(neighbour_mean(0.0, 3), 0.0);
    EXPECT_EQ(neighbour_mean(-6.0, 4), -1.5);
    EXPECT_EQ(neighbour_mean(10.0, 3), 10.0 / 3.0);
}

}  // namespace
