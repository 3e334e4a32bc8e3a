// The samples of every ring, worked out once for the whole process as pixel
// offsets from the centre, so that a search costs integer additions instead of
// extended-precision products and truncations.
//
// Why an offset is the same for every centre: a sample's line is the
// truncation of i - x, where x = radius * sinus is exact in extended precision
// (11 bits times 53 bits fit a 64-bit significand) and only the difference is
// rounded, by at most 2^-32 for any 32-bit line i. When x lies at least 2^-20
// from every whole number, that rounding cannot reach or cross a whole number,
// so the truncation equals that of the exact i - x: floor(i - x) = i + floor(-x)
// when it is not negative, one more when it is (truncation toward zero; a
// position between -1 and 0 lands on line 0). The same holds for columns with
// j + radius * cosin. The few samples whose product lies nearer a whole number
// (multiples of 30 degrees, where the rounding of the difference decides) are
// marked and worked out from their sine and cosine for each centre.
#pragma once

#include <cstdint>
#include <vector>

#include "ring_search.hpp"

// A sample's offsets: line i + dr, column j + dc before truncation toward zero
// of a negative position. kExactSample in dr marks a sample whose position
// depends on the centre. `same` counts the samples right after this one that
// fall on the same pixel for every centre (up to 255): when this one misses,
// so do they.
struct SampleOffset {
    int16_t dr;
    int16_t dc;
    uint8_t same;
};
inline constexpr int16_t kExactSample = INT16_MIN;

struct RingTables {
    // The sines and cosines of each band, built with the walk's own expressions.
    std::vector<double> sinus[4];
    std::vector<double> cosin[4];
    // Offsets of every ring, one after the other, in walk order.
    std::vector<SampleOffset> offsets;
    // Where ring r starts in offsets (r = 1..kLargestRing + 1).
    std::vector<uint32_t> first;
    // 1 / (8 * r * step in radians) in units of 2^-16, rounded down a little:
    // a clearance of c eighths of a pixel covers at least
    // (c * samples_per_eighth[r]) >> 16 samples of ring r along the chord.
    std::vector<uint32_t> samples_per_eighth;

    static int band_of(int32_t radius) { return radius > 107 ? 3 : radius > 64 ? 2 : radius > 33 ? 1 : 0; }
};

// Built on first use (about 25 MB, a band of rings per thread), then shared,
// read-only, by every search.
const RingTables& ring_tables();

// The literal position of sample m of ring `radius` around (i, j).
void exact_sample_position(const RingTables& tables, int32_t i, int32_t j, int32_t radius, uint32_t m,
                           int32_t& m2, int32_t& n2);
