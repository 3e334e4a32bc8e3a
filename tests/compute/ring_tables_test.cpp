// The per-ring offsets against the literal extended-precision position, for
// centres on, near and far beyond the raster, below and above 4096.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "compute/ring_tables.hpp"

namespace {

// What the offsets say: floor position, truncated toward zero when negative.
int32_t from_offset(int32_t centre, int16_t offset) {
    const int64_t floor_position = int64_t{centre} + offset;
    const int64_t truncated = floor_position < 0 ? floor_position + 1 : floor_position;
    // truncate_position saturates beyond the 32-bit range.
    if (truncated > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (truncated < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(truncated);
}

void expect_ring_matches(const RingTables& tables, int32_t i, int32_t j, int32_t r) {
    const SampleOffset* ring = tables.ring(r);
    for (uint32_t m = 0; m < RingTables::samples(r); ++m) {
        const SampleOffset offset = ring[m];
        if (offset.dr == kExactSample) continue;
        int32_t m2 = 0;
        int32_t n2 = 0;
        tables.exact_position(i, j, r, m, m2, n2);
        ASSERT_EQ(from_offset(i, offset.dr), m2) << "line, centre " << i << "," << j << " ring " << r << " sample " << m;
        ASSERT_EQ(from_offset(j, offset.dc), n2) << "column, centre " << i << "," << j << " ring " << r << " sample " << m;
    }
}

TEST(RingTables, BandsAndSampleCounts) {
    uint32_t total = 0;
    for (int32_t r = 1; r <= kLargestRing; ++r) total += RingTables::samples(r);
    EXPECT_EQ(total, 4107960u);
    EXPECT_EQ(RingTables::samples(33), 360u);
    EXPECT_EQ(RingTables::samples(34), 720u);
    EXPECT_EQ(RingTables::samples(65), 1440u);
    EXPECT_EQ(RingTables::samples(108), 2880u);
}

// Every offset as the extended-precision products give it: floor(-r sin)
// and floor(r cos), or the mark of a sample whose product lies within 2^-20
// of a whole number. The tables are built faster; they must be these.
TEST(RingTables, EveryOffsetIsTheExtendedPrecisionOne) {
    const RingTables& tables = RingTables::shared();
    const double papi = (4.0 * std::atan(1.0)) * (1.0 / 180.0);
    const double steps[4] = {1.0, 0.5, 0.25, 0.125};
    for (int32_t r = 1; r <= kLargestRing; ++r) {
        const SampleOffset* ring = tables.ring(r);
        double fk = 0.0;
        for (uint32_t m = 0; m < RingTables::samples(r); ++m, fk += steps[RingTables::band_of(r)]) {
            const long double x = static_cast<long double>(r) * static_cast<long double>(-std::sin(fk * papi));
            const long double y = static_cast<long double>(r) * static_cast<long double>(std::cos(fk * papi));
            const long double fx = std::floor(x);
            const long double fy = std::floor(y);
            const auto near = [](long double v, long double whole) {
                return v - whole < 1.0L / 1048576.0L || v - whole > 1.0L - 1.0L / 1048576.0L;
            };
            if (near(x, fx) || near(y, fy)) {
                ASSERT_EQ(ring[m].dr, kExactSample) << "ring " << r << " sample " << m;
            } else {
                ASSERT_EQ(ring[m].dr, static_cast<int16_t>(fx)) << "ring " << r << " sample " << m;
                ASSERT_EQ(ring[m].dc, static_cast<int16_t>(fy)) << "ring " << r << " sample " << m;
            }
        }
    }
}

TEST(RingTables, OffsetsGiveTheLiteralPositionForAnyCentre) {
    const RingTables& tables = RingTables::shared();
    // Every ring for centres around 0 and across 4096, where the rounding of
    // the extended difference changes.
    const int32_t full[][2] = {{0, 0}, {-1, 4096}, {4095, 5000}};
    for (const auto& c : full)
        for (int32_t r = 1; r <= kLargestRing; ++r) expect_ring_matches(tables, c[0], c[1], r);
    // A sample of rings for centres far beyond any raster and at the limits.
    const int32_t far[][2] = {{-1501, 3},
                              {8191, 8192},
                              {65536, -65537},
                              {16777217, 3},
                              {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()},
                              {std::numeric_limits<int32_t>::min(), 1}};
    std::mt19937 random(11);
    for (const auto& c : far)
        for (int k = 0; k < 40; ++k)
            expect_ring_matches(tables, c[0], c[1], std::uniform_int_distribution<int32_t>(1, kLargestRing)(random));
}

}  // namespace
