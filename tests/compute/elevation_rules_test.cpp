// The elevation arithmetic where the random runs against the reference seldom
// reach: a rounding that only extended precision gives, and a railing base
// beyond the 32-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "compute/elevation_rules.hpp"

namespace {

TEST(ElevationRules, InterpolationRoundedOnceAndRailingBaseHeldAtTheEndsOfTheRange) {
    // (100 - 220) / (15 + 29) * 29 + 220. Each step rounded to a 64-bit
    // significand and the end to double gives 0x1.19d1745d1745dp+7 (worked out
    // in exact rational arithmetic); rounding every step to double instead
    // would give the next double up, 0x1.19d1745d1745ep+7.
    EXPECT_EQ(distance_interpolation(100.0, 220.0, 15.0, 29.0), 0x1.19d1745d1745dp+7);
    // Another pair of the same kind, with a negative base.
    EXPECT_EQ(distance_interpolation(101.0, -41.0, 26.0, 10.0), -0x1.8e38e38e38e39p+0);
    // A boundary above the contour gives a descending profile.
    EXPECT_EQ(distance_interpolation(10.0, 30.0, 1.0, 3.0), 15.0);

    EXPECT_EQ(railing_base(-5, 10), -15.0);
    EXPECT_EQ(railing_base(std::numeric_limits<int32_t>::min(), 1), -2147483648.0);
    EXPECT_EQ(railing_base(std::numeric_limits<int32_t>::max(), -1), 2147483647.0);
    EXPECT_EQ(railing_base(2000000000, -2000000000), 2147483647.0);
}

}  // namespace
