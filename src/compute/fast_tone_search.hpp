// The fast ring search: the same first hit (ring, pixel) as the literal walk,
// ring by ring from radius 1 and angle by angle from 0 degrees, found without
// examining the samples that provably cannot fall on a pixel of the tone.
//
// Why a skipped sample can never hold the first hit. A sample that truncates
// to pixel t lies in t's square [t, t+1] per coordinate (for line or column 0,
// [-1, 1]: positions between -1 and 0 truncate to 0); a sample of ring r lies
// at r from the centre point (i, j), up to roundings far below 1e-6 pixel (the
// tables' sines, the extended difference). Let D(c) be the exact distance from
// the corner point c to the nearest square of a pixel of the tone, kept
// rounded down (distance_transform.hpp).
// - Start ring: a sample of ring r that hits lies in a square of the tone, so
//   r >= D(i, j) - 1e-6 and every smaller ring is skipped whole. For a centre
//   outside the raster the distance to the box [-1, nb_lig] x [-1, nb_col],
//   which holds every square, plays the same part.
// - Within a ring: if sample m falls in the square of pixel p, any later
//   sample m' that hits lies at least the distance between p's square and the
//   nearest square of the tone away, and that distance is the least D of p's
//   four corners (two lattice squares are nearest at corners; p's corners
//   serve for line or column 0 too, as the squares reach no further than -1).
//   The chord between samples m and m' of ring r is at most
//   r * (m' - m) * step, so the samples m' with that bound below the
//   clearance are skipped, and the next one examined is the first that could
//   hit. For a sample out of the raster, its distance to the box is the
//   clearance.
// Samples are examined in walk order, each skipped one provably misses, and
// rings are taken in increasing order, so the first sample found on a pixel
// of the tone is the literal first hit: a skipped ring never holds it.
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
    // Measures, once, every pixel corner's distance to the tone in `tab`
    // (nb_lig rows of nb_col grey tones). The grid must not change while the
    // search is in use. Costs 2 bytes per pixel; when they cannot be had, the
    // search still answers, examining every sample from ring 1.
    FastToneSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono);

    // Whether to measure the distances: `skip` gives the search it falls back
    // on when they cannot be stored, so that it can be proved on its own.
    enum class Distances { measure, skip };
    FastToneSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono, Distances distances);

    // The first pixel of the tone met by the rings around line i, column j, or
    // a miss with the last position examined. Any centre is accepted; no grid
    // is read outside the raster. Safe to call from several threads at once.
    RingHit find(int32_t i, int32_t j) const;

    // False when the distances could not be stored (the slow path is used).
    bool measured() const { return static_cast<bool>(dist_); }

private:
    int32_t first_useful_ring(int32_t i, int32_t j) const;
    bool is_tone(int64_t row, int64_t col) const;
    // Distance, in eighths, from the square of pixel (row, col) to the
    // nearest square of the tone: the least of its four corners' distances.
    int64_t square_clearance(int64_t row, int64_t col) const;
    RingHit miss(int32_t i, int32_t j) const;

    const RingTables& tables_;
    unsigned char* const* tab_;
    int32_t nb_lig_;
    int32_t nb_col_;
    int32_t tono_;
    bool any_tone_ = false;
    std::unique_ptr<uint16_t[]> dist_;  // corners' distances in eighths, line after line
};
