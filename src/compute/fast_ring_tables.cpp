#include "fast_ring_tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "band_threads.hpp"

namespace {

constexpr int32_t kSamples[4] = {360, 720, 1440, 2880};
constexpr double kStep[4] = {1.0, 0.5, 0.25, 0.125};

// Whole numbers this close to a product make its sample depend on the centre.
constexpr long double kNearWhole = 1.0L / 1048576.0L;  // 2^-20

bool near_whole(long double x, long double whole_below) {
    const long double frac = x - whole_below;  // exact: both within 2^11
    return frac < kNearWhole || frac > 1.0L - kNearWhole;
}

// floor of an exact extended product of at most 2^11 in size.
long double floor_of(long double x) {
    const auto whole = static_cast<long double>(static_cast<int64_t>(x));  // toward zero
    return whole > x ? whole - 1.0L : whole;
}

void fill_ring(RingTables& tables, int32_t r) {
    const int b = RingTables::band_of(r);
    const long double reach = static_cast<long double>(static_cast<double>(r));
    SampleOffset* ring = tables.offsets.data() + tables.first[static_cast<std::size_t>(r)];
    for (int32_t m = 0; m < kSamples[b]; ++m) {
        const long double x = reach * static_cast<long double>(tables.sinus[b][static_cast<std::size_t>(m)]);
        const long double y = reach * static_cast<long double>(tables.cosin[b][static_cast<std::size_t>(m)]);
        const long double fx = floor_of(-x);
        const long double fy = floor_of(y);
        SampleOffset& offset = ring[m];
        if (near_whole(-x, fx) || near_whole(y, fy)) {
            offset.dr = kExactSample;
            offset.dc = 0;
        } else {
            offset.dr = static_cast<int16_t>(fx);
            offset.dc = static_cast<int16_t>(fy);
        }
        offset.same = 0;
    }
    // Runs of samples on one pixel, counted back from the end of the ring.
    for (int32_t k = kSamples[b] - 1; k > 0; --k) {
        SampleOffset& before = ring[k - 1];
        const SampleOffset& after = ring[k];
        if (before.dr != kExactSample && after.dr == before.dr && after.dc == before.dc)
            before.same = static_cast<uint8_t>(std::min(255, after.same + 1));
    }
}

RingTables build() {
    RingTables tables;
    // Held in doubles, as the walk holds them, so the products round alike.
    const double pi = 4.0 * std::atan(1.0);
    const double papi = pi * (1.0 / 180.0);
    for (int b = 0; b < 4; ++b) {
        double fk = 0.0;
        for (int32_t m = 0; m < kSamples[b]; ++m) {
            tables.sinus[b].push_back(std::sin(fk * papi));
            tables.cosin[b].push_back(std::cos(fk * papi));
            fk += kStep[b];
        }
    }
    tables.first.assign(static_cast<std::size_t>(kLargestRing) + 2, 0);
    tables.samples_per_eighth.assign(static_cast<std::size_t>(kLargestRing) + 1, 0);
    uint32_t total = 0;
    for (int32_t r = 1; r <= kLargestRing; ++r) {
        const int b = RingTables::band_of(r);
        tables.first[static_cast<std::size_t>(r)] = total;
        total += static_cast<uint32_t>(kSamples[b]);
        // Chord between samples m and m' <= r * (m' - m) * step in radians; the
        // factor below the exact inverse absorbs every rounding of the tables.
        tables.samples_per_eighth[static_cast<std::size_t>(r)] =
            static_cast<uint32_t>(65536.0 * (1.0 - 1e-6) / (8.0 * r * kStep[b] * papi));
    }
    tables.first[static_cast<std::size_t>(kLargestRing) + 1] = total;
    tables.offsets.resize(total);
    // Rings are independent: a band of rings per thread.
    split_in_bands(kLargestRing, [&tables](int64_t first_ring, int64_t end_ring) {
        for (auto r = static_cast<int32_t>(first_ring + 1); r <= end_ring; ++r) fill_ring(tables, r);
    });
    return tables;
}

}  // namespace

const RingTables& ring_tables() {
    static const RingTables tables = build();
    return tables;
}

void exact_sample_position(const RingTables& tables, int32_t i, int32_t j, int32_t radius, uint32_t m,
                           int32_t& m2, int32_t& n2) {
    const int b = RingTables::band_of(radius);
    const double dist = radius;
    // Formed and truncated in extended precision, as the walk does: near a
    // whole number the excess of the double sine or cosine decides the pixel.
    m2 = truncate_position(static_cast<long double>(i) -
                           static_cast<long double>(dist) * static_cast<long double>(tables.sinus[b][m]));
    n2 = truncate_position(static_cast<long double>(j) +
                           static_cast<long double>(dist) * static_cast<long double>(tables.cosin[b][m]));
}
