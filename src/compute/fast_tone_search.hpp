// The fast ring search: the same first hit (ring, pixel) as the literal walk,
// ring by ring from radius 1 and angle by angle from 0 degrees, found without
// examining the samples that provably cannot fall on a pixel of the tone.
//
// Why a skipped sample can never hold the first hit. Let D(p) be the exact
// Euclidean distance from pixel p to the nearest pixel of the tone (whole
// line/column coordinates), kept rounded down, so never above the truth.
// A sample truncated to pixel t lies in t's acceptance square [t, t+1) per
// coordinate (for line or column 0, (-1, 1)), hence within sqrt(2) of t; and a
// sample of ring r lies at r from the centre (i, j) up to roundings far below
// 1e-6 pixel (the tables' sines, the extended difference).
// - Start ring: a sample of ring r that hits t satisfies
//   D(i, j) <= |t - (i, j)| <= r + sqrt(2), so every ring below
//   D(i, j) - sqrt(2) is skipped whole. For a centre outside the raster the
//   distance to the raster's acceptance box plays the same part.
// - Within a ring: if the sample m falls on pixel p and a later sample m'
//   falls on t, then along each axis the two samples lie at least
//   |t - p| - 1 apart (each lies in its pixel's square, and the squares of
//   line and column 0 only reach outward, away from the other pixels), so
//   |m' - m| >= D(p) - sqrt(2). The chord between samples m and m' of ring r
//   is at most r * (m' - m) * step; the samples m' with that bound below the
//   clearance are skipped, and the next one examined is the first that could
//   hit. Out of the raster, the distance from the sample to the raster's
//   acceptance box is the clearance.
// Samples are examined in walk order, and each skipped one provably misses,
// so the first sample found on a pixel at distance 0 is the literal first hit;
// rings are taken in increasing order, so a skipped ring never holds it.
// Positions come from per-ring offset tables (fast_ring_tables.hpp), equal to
// the literal extended-precision positions for every centre; the samples whose
// position depends on the centre are formed exactly as the walk forms them.
#pragma once

#include <cstdint>
#include <memory>

#include "fast_ring_tables.hpp"
#include "ring_search.hpp"

class FastToneSearch {
public:
    // Measures, once, every pixel's distance to the tone in `tab` (nb_lig rows
    // of nb_col grey tones). The grid must not change while the search is in
    // use. Costs 2 bytes per pixel; when they cannot be had, the search still
    // answers, examining every sample from ring 1.
    FastToneSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono);

    // The first pixel of the tone met by the rings around line i, column j, or
    // a miss with the last position examined. Any centre is accepted; no grid
    // is read outside the raster. Safe to call from several threads at once.
    RingHit find(int32_t i, int32_t j) const;

    // False when the distances could not be stored (the slow path is used).
    bool measured() const { return static_cast<bool>(dist_); }

private:
    int32_t first_useful_ring(int32_t i, int32_t j) const;
    bool is_tone(int64_t row, int64_t col) const;
    RingHit miss(int32_t i, int32_t j) const;

    const RingTables& tables_;
    unsigned char* const* tab_;
    int32_t nb_lig_;
    int32_t nb_col_;
    int32_t tono_;
    bool any_tone_ = false;
    std::unique_ptr<uint16_t[]> dist_;  // eighths of a pixel, line after line
};
