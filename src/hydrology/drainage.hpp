// The conditioned model that drains: a DEM with a channel burned in, made fit
// to route water (flow directions, accumulation, flood models, HAND).
//
// What it reads: the model (`terrain`, with a stand-in value in its holes),
// the burned channel (`channel`, read in the zone), the channel zone, the
// river (the banks, the railing) and the lakes, all on one grid. What it
// writes: a value for every pixel; outside the zone it is the terrain,
// untouched. Nothing else is read or written: no file, no GDAL, no global
// state, so it runs on the whole raster or on any window given to it (on a
// window, a river or a depression cut by the window's edge is conditioned as
// far as the window sees it: give it a halo that holds them whole).
//
// The pass, in this order:
//  1. Edge. The zone's pixels within `blend_width` pixels (D8 steps) of the
//     terrain outside it move from the channel to the terrain linearly: the
//     pixel next to the terrain takes the terrain's own value, the one
//     blend_width away is the channel's. So no wall or step is made where the
//     zone meets the terrain: the steps across the zone's edge are the
//     terrain's own there (unless 2 or 3 below had to change an edge pixel).
//  2. River. The river's pixels in the zone, with each lake as one node, form
//     a network (8-connected). Each node drains along the network to an
//     outlet where the river leaves the zone (beside a river or lake pixel
//     outside the zone, or on the raster's edge): the way down is a
//     Priority-Flood over the network from those pixels, the lowest terrain
//     first (river_network.hpp), so a river leaves the zone where the terrain
//     is lowest and enters where it is higher; a piece that never leaves
//     drains to its lowest pixel. The terrain, not the channel, decides, so
//     the outlet is where the model says the water goes. Every node then
//     takes, along its way to its outlet, a value strictly above the next
//     node's downstream, at or below its target, the bed under the bank
//     (terrain - railing_height), and never above min(terrain, channel):
//       - ceiling U: the least of min(terrain, channel) over the node and
//         everything upstream of it, one lattice step lower per node passed;
//       - target T: the same over the bed values (carving, as r.carve does,
//         where the bed rises downstream: the least change that keeps it at or
//         below the bed); a lake's target is its ceiling, so the beds that run
//         under its water upstream never lower it;
//       - from each outlet up, value = min(U, max(T, L)), where L is one step
//         above the node downstream (at an outlet with terrain outside the
//         zone beside it, one step above the lowest of that terrain, so that
//         the water leaves there). U falls strictly along the way, so
//         U(node) >= one step above U(downstream) >= L: every node is
//         strictly above the next, never above U, and at its target T
//         wherever nothing downstream (a lake, an outlet) holds it higher.
//     A lake is flat at its shore level (the lowest terrain of its pixels;
//     the channel's where it has no terrain), lowered as a whole only where
//     the ceiling of a river that flows into it is lower; the river above a
//     lake rises, within its ceiling, to stay above the water.
//  3. Banks of the trough. Every other zone pixel beside the river or a lake
//     is raised, where it is lower, to one step above its highest river or
//     lake neighbour: no flow leaves the river sideways.
//  4. Depressions. The other zone pixels drain to the river, the lakes, the
//     terrain outside the zone or the raster's edge. Each closed depression
//     is found by a plain Priority-Flood fill (Barnes et al. 2014); it is
//     breached along its least-cost path (Lindsay 2016: the cost of a path is
//     how far its pixels stand above the pit) to a lower pixel that drains,
//     when that lowers less in total than filling raises and keeps every
//     pixel above its river neighbours; what is not breached is filled by
//     Priority-Flood with a lattice step (Barnes et al. 2014, "+epsilon").
//
// What it guarantees, on the values written (value_lattice.hpp: every value
// set is one the band holds, so rounding at writing keeps every order):
//  - every river pixel of the zone is at or below the terrain and the
//    channel, and strictly higher than the next node on its path to the
//    outlet (step 2); lakes are flat;
//  - every zone pixel beside the river is above it, so the steepest descent
//    of a river pixel is along the river wherever the river's neighbours are
//    in the zone (step 3 only raises; step 4 raises, or lowers a path only
//    to values above the river neighbours of its pixels);
//  - every other zone pixel has a strictly lower neighbour, on a path down to
//    the river, a lake, the terrain outside or the raster's edge: no closed
//    depression and no flat is left in the zone outside lakes (the last
//    Priority-Flood+epsilon pass visits every such pixel from a lower one and
//    sets it strictly above that one when it is not already);
//  - outside the zone every value is the terrain's.
// Given its own output as channel and blend_width 0, the pass gives the same
// output again (the profile, the trough and the depressions are already so).
// What it does not promise: that an outlet is above the terrain outside when
// the river's ceiling is lower (counted in the report), and that a river
// pixel's steepest descent stays on the river where terrain outside the zone
// beside it is lower (nothing outside the zone is changed).
//
// Cost: O(n log n) in the zone's pixels, for the priority queues; a breach
// search stops once its cost reaches the fill it would replace.
#pragma once

#include <cstdint>

#include "hydrology/drainage_inputs.hpp"
#include "hydrology/raster.hpp"

// The conditioned model. Every input raster has the terrain's size; the
// masks mark with any value but 0.
Raster<double> drained_dem(const DrainageInputs& inputs, const DrainageParameters& parameters,
                           DrainageReport& report);
