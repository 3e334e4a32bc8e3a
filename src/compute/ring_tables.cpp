#include "compute/ring_tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

constexpr int32_t kSamples[4] = {360, 720, 1440, 2880};
constexpr double kStep[4] = {1.0, 0.5, 0.25, 0.125};

// Whole numbers this close to a product make its sample depend on the centre.
constexpr long double kNearWhole = 1.0L / 1048576.0L;  // 2^-20

bool near_whole(long double x, long double whole_below) {
    const long double frac = x - whole_below;  // exact: both within 2^11
    return frac < kNearWhole || frac > 1.0L - kNearWhole;
}

// floor of a product of at most 2^11 in size, without a library call.
template <typename Real>
Real floor_of(Real x) {
    const auto whole = static_cast<Real>(static_cast<int64_t>(x));  // toward zero
    return whole > x ? whole - 1 : whole;
}

struct Floored {
    int32_t whole;  // floor of radius * t, formed exactly
    bool near;      // within 2^-20 of a whole number
};

// The floor of radius * t and whether it lies near a whole number, as the
// extended-precision product would say, mostly without it: the double
// product is within 2^-43 of the exact one (|radius * t| < 2^11), so where
// the double's fraction lies clear of the 2^-20 band by far more than that,
// the exact product has the same floor and is as far from a whole number.
// Only the products near the band's edges are formed in extended precision.
Floored floor_of_product(double radius, double t) {
    const double v = radius * t;
    const double whole = floor_of(v);
    const double frac = v - whole;
    constexpr double kBand = 1.0 / 1048576.0;
    constexpr double kMargin = 1.0 / 1073741824.0;  // 2^-30, far above the double's error
    if (frac > kBand + kMargin && frac < 1.0 - kBand - kMargin) return {static_cast<int32_t>(whole), false};
    const long double x = static_cast<long double>(radius) * static_cast<long double>(t);
    const long double exact = floor_of(x);
    return {static_cast<int32_t>(exact), near_whole(x, exact)};
}

}  // namespace

int32_t truncate_position(long double position) {
    // Beyond these bounds the position lies outside every raster anyway.
    if (position >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
    if (position <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(position);
}

const RingTables& RingTables::shared() {
    static const RingTables tables;
    return tables;
}

uint32_t RingTables::samples(int32_t radius) { return static_cast<uint32_t>(kSamples[band_of(radius)]); }

RingTables::RingTables() {
    // Held in doubles, as the walk holds them, so the products round alike.
    const double pi = 4.0 * std::atan(1.0);
    const double papi = pi * (1.0 / 180.0);
    for (int b = 0; b < 4; ++b) {
        double fk = 0.0;
        for (int32_t m = 0; m < kSamples[b]; ++m) {
            sinus_[static_cast<std::size_t>(b)].push_back(std::sin(fk * papi));
            cosin_[static_cast<std::size_t>(b)].push_back(std::cos(fk * papi));
            fk += kStep[b];
        }
    }
    for (int32_t r = 1; r <= kLargestRing; ++r) {
        // Chord between samples m and m' <= r * (m' - m) * step in radians; the
        // factor below the exact inverse absorbs every rounding of the tables.
        per_eighth_[static_cast<std::size_t>(r)] =
            static_cast<uint32_t>(65536.0 * (1.0 - 1e-6) / (8.0 * r * kStep[band_of(r)] * papi));
    }
}

const SampleOffset* RingTables::build_ring(int32_t radius) const {
    const std::lock_guard<std::mutex> lock(building_);
    const auto r = static_cast<std::size_t>(radius);
    if (const SampleOffset* done = rings_[r].load(std::memory_order_relaxed)) return done;  // another thread's
    const int b = band_of(radius);
    const auto k2 = static_cast<std::size_t>(kSamples[b]);
    std::unique_ptr<SampleOffset[]> ring(new SampleOffset[k2]);
    const auto reach = static_cast<double>(radius);
    for (std::size_t m = 0; m < k2; ++m) {
        // The line's offset is floor(-radius * sinus), the column's floor(radius * cosin).
        const Floored line = floor_of_product(reach, -sinus_[static_cast<std::size_t>(b)][m]);
        const Floored column = floor_of_product(reach, cosin_[static_cast<std::size_t>(b)][m]);
        SampleOffset& offset = ring[m];
        // An offset lies within the largest ring, |offset| <= 1501, which
        // the 12-bit fields hold; the compiler cannot see it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
        if (line.near || column.near) {
            offset.dr = kExactSample;
            offset.dc = 0;
        } else {
            offset.dr = line.whole;
            offset.dc = column.whole;
        }
#pragma GCC diagnostic pop
        offset.same = 0;
    }
    // Runs of samples on one pixel, counted back from the end of the ring.
    for (std::size_t k = k2 - 1; k > 0; --k) {
        SampleOffset& before = ring[k - 1];
        const SampleOffset& after = ring[k];
        if (before.dr != kExactSample && after.dr == before.dr && after.dc == before.dc)
            before.same = static_cast<uint8_t>(std::min(255u, after.same + 1u));
    }
    storage_[r] = std::move(ring);
    rings_[r].store(storage_[r].get(), std::memory_order_release);
    return storage_[r].get();
}

void RingTables::exact_position(int32_t i, int32_t j, int32_t radius, uint32_t m, int32_t& line,
                                int32_t& column) const {
    const auto b = static_cast<std::size_t>(band_of(radius));
    const double distance = radius;
    // Formed and truncated in extended precision, as the walk does: near a
    // whole number the excess of the double sine or cosine decides the pixel.
    line = truncate_position(static_cast<long double>(i) -
                             static_cast<long double>(distance) * static_cast<long double>(sinus_[b][m]));
    column = truncate_position(static_cast<long double>(j) +
                               static_cast<long double>(distance) * static_cast<long double>(cosin_[b][m]));
}
