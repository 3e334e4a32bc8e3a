// Where the ring searches of a channel can look, so that the distances to a
// tone (distance_transform.hpp) are measured there only: along a river across
// a large raster, or in a tile whose window reaches 1506 pixels beyond its
// core, a small part of the grid.
//
// Every search starts from a channel pixel and, as a rule, ends within a few
// rings of the nearest pixel of its tone, so its samples lie within about
// that distance of the pixel. A reach bounds that distance from above for
// the channel pixels of each line: blocks of kBlock x kBlock pixels are marked where the
// tone is, and the exact distance between a pixel's block and the nearest
// marked block (a transform on 64 times fewer points) plus the diagonals of
// the two blocks is at least the distance from the pixel to the tone. The
// region is then every corner within `reach` lines and columns of a channel
// pixel, and its distances take into account every square of the tone within
// `reach` of those corners.
//
// Nothing here is needed for the searches to be exact: a corner outside the
// region gets the distance 0, which bounds any distance from below, and a
// distance held at the reach does too (ring_search.hpp). A search that goes on
// beyond the reach (a hit missed by the sparse samples of the largest rings)
// only skips fewer samples there.
#pragma once

#include <cstdint>

#include "compute/raster_window.hpp"
#include "compute/tone.hpp"
#include "compute/tone_grids.hpp"
#include "compute/distance_transform.hpp"
#include "compute/elevations.hpp"
#include "lib/grid.hpp"

inline constexpr int32_t kRegionBlock = 8;

// The corners of the target's grids (on window.inputs) where the searches from
// the channel pixels of `channel` (held on window.output) can look for it.
CornerRegion search_region(const ToneGrids& target, const Elevations& channel, const ChannelWindow& window,
                           int32_t threads);
