// The samples of every ring as pixel offsets from the centre, so that a search
// costs integer additions instead of extended-precision products and
// truncations. A ring's offsets are worked out the first time a search reaches
// it and then kept, read-only, for every search of the process: a run whose
// searches end within a few dozen rings never pays for the 1500 rings.
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

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "compute/raster_window.hpp"

// A sample's offsets: line i + dr, column j + dc before truncation toward zero
// of a negative position (no ring reaches beyond 1500, which 12 bits hold).
// kExactSample in dr marks a sample whose position depends on the centre.
// `same` counts the samples right after this one that fall on the same pixel
// for every centre (up to 255): when this one misses, so do they. Four bytes
// a sample, so that the rings a run reaches take little memory and cache.
struct SampleOffset {
    int32_t dr : 12;
    int32_t dc : 12;
    uint32_t same : 8;
};
static_assert(sizeof(SampleOffset) == 4);
inline constexpr int32_t kExactSample = -2048;

class RingTables {
public:
    // The tables of the process, shared by every search and thread.
    static const RingTables& shared();

    // Samples per ring: 360 up to radius 33, 720 up to 64, 1440 up to 107,
    // 2880 beyond; band_of gives 0 to 3 for those.
    static int band_of(int32_t radius) { return radius > 107 ? 3 : radius > 64 ? 2 : radius > 33 ? 1 : 0; }
    static uint32_t samples(int32_t radius);

    // The offsets of ring `radius` (1..kLargestRing) in walk order, worked out
    // on first use. Safe from several threads at once.
    const SampleOffset* ring(int32_t radius) const {
        const SampleOffset* offsets = rings_[static_cast<std::size_t>(radius)].load(std::memory_order_acquire);
        return offsets != nullptr ? offsets : build_ring(radius);
    }
    // 1 / (8 * radius * step in radians) in units of 2^-16, rounded down a
    // little: a clearance of c eighths of a pixel covers at least
    // (c * samples_per_eighth(r)) >> 16 samples of ring r along the chord.
    uint32_t samples_per_eighth(int32_t radius) const { return per_eighth_[static_cast<std::size_t>(radius)]; }

    // The literal position of sample m of ring `radius` around (i, j): the
    // sine and cosine of the walk, the product and the sum formed and
    // truncated in extended precision.
    void exact_position(int32_t i, int32_t j, int32_t radius, uint32_t m, int32_t& line, int32_t& column) const;

    RingTables(const RingTables&) = delete;
    RingTables& operator=(const RingTables&) = delete;

private:
    RingTables();
    const SampleOffset* build_ring(int32_t radius) const;

    // The sines and cosines of each band, built with the walk's own expressions.
    std::array<std::vector<double>, 4> sinus_;
    std::array<std::vector<double>, 4> cosin_;
    std::array<uint32_t, kLargestRing + 1> per_eighth_{};
    mutable std::array<std::atomic<const SampleOffset*>, kLargestRing + 1> rings_{};
    mutable std::array<std::unique_ptr<SampleOffset[]>, kLargestRing + 1> storage_;
    mutable std::mutex building_;
};

// Truncation toward zero of an extended-precision sample position, saturated
// so that a centre far outside any raster cannot overflow the conversion.
int32_t truncate_position(long double position);
