// The nearest-tone ring search, and why the fast way of walking it finds the
// very first hit of the literal walk (tests/reference/literal_circle.cpp).
//
// The walk: rings of radius 1 to 1500 around the corner point (i, j) of the
// centre pixel, each sampled at 360, 720, 1440 or 2880 angles from 0 degrees;
// a sample's line and column are the truncations toward zero of
// i - r sin(a) and j + r cos(a), formed in extended precision; the first
// sample that falls inside the raster on a pixel of the tone ends the search
// with the ring's radius as its distance. Ring by ring, angle by angle.
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
//   outside the raster the distance to the box [-1, raster lines] x [-1, raster columns],
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
// Positions come from per-ring offset tables (ring_tables.hpp), equal to the
// literal extended-precision positions for every centre; the samples whose
// position depends on the centre are formed exactly as the walk forms them.
//
// On a window. The grid may be a window of the raster (channel.hpp): centres
// and samples stay in raster coordinates, the bounds tests use the raster's
// size, and D is measured over the tone pixels inside the window only. For a
// centre whose rings up to 1500 all fall inside the window (or outside the
// raster), every hit the walk can make is a pixel of the window, so D over the
// window is the distance to every square that can be hit: both arguments above
// hold unchanged, and the search gives the whole raster's first hit. A sample
// inside the raster but outside the window is never a hit (and never skips
// anything), so any other centre is searched safely, if not exactly.
#pragma once

#include <cstdint>
#include <limits>

#include "compute/corner_map.hpp"
#include "compute/distance_transform.hpp"
#include "compute/raster_window.hpp"
#include "compute/ring_tables.hpp"
#include "compute/tone.hpp"
#include "compute/tone_grids.hpp"
#include "lib/grid.hpp"

// The distance of a search that met no pixel of its tone on any ring. Its
// line, column are then not a pixel and must not be used to read a grid.
inline constexpr double kNoToneFound = std::numeric_limits<double>::infinity();

struct RingHit {
    double distance = kNoToneFound;  // ring radius of the first hit, 1..1500
    int32_t line = 0;                // raster line of the hit pixel (last sample examined on a miss)
    int32_t column = 0;              // raster column of that pixel
    bool found() const { return distance != kNoToneFound; }
};

class RingSearch {
public:
    // Whether to measure the distances to the tone first. Without them (or
    // when their 2 bytes per pixel cannot be had) every sample from ring 1 is
    // examined: slower, the same hits.
    enum class Distances { measure, skip };

    // Searches the target's grids for their tones (tone_grids.hpp); the grids
    // cover `place` (a rectangle of a raster of raster_lines x raster_columns).
    // They are read, never written, and must not change while the search is
    // in use. The distances are measured on up to `threads` threads.
    // With a region (search_region.hpp), the distances are measured only on its
    // corners; elsewhere the search skips nothing.
    RingSearch(const ToneGrids& target, int32_t raster_lines, int32_t raster_columns, RasterRect place,
               int32_t threads, Distances distances = Distances::measure, const CornerRegion* region = nullptr);
    // One grid and its tone.
    RingSearch(GridView<const unsigned char> grid, Tone tone, int32_t raster_lines, int32_t raster_columns,
               RasterRect place, int32_t threads, Distances distances = Distances::measure,
               const CornerRegion* region = nullptr)
        : RingSearch(ToneGrids(grid, tone), raster_lines, raster_columns, place, threads, distances, region) {}
    // The whole raster.
    RingSearch(GridView<const unsigned char> grid, Tone tone, int32_t threads = 1,
               Distances distances = Distances::measure)
        : RingSearch(grid, tone, grid.lines(), grid.columns(), {0, 0, grid.lines(), grid.columns()}, threads,
                     distances) {}

    // The first pixel of the tone met by the rings around raster line i,
    // column j, or a miss with the last position examined. Any centre is
    // accepted; no grid is read outside the window. Safe from several threads.
    RingHit find(int32_t i, int32_t j) const;

    // False when the distances were not measured (the slow path is used).
    bool measured() const { return map_.made(); }

private:
    int32_t first_useful_ring(int32_t i, int32_t j) const;
    bool is_tone(int64_t line, int64_t column) const;  // window coordinates
    // Distance, in eighths, from the square of window pixel (line, column) to
    // the nearest square of the tone: the least of its four corners' distances.
    int64_t square_clearance(int64_t line, int64_t column) const;
    RingHit miss(int32_t i, int32_t j) const;

    const RingTables& tables_;
    ToneGrids target_;
    int32_t lines_;    // of the target's grids
    int32_t columns_;
    int32_t raster_lines_;
    int32_t raster_columns_;
    RasterRect place_;
    bool any_tone_ = false;
    CornerMap map_;  // the window's corners' distances in eighths
};
