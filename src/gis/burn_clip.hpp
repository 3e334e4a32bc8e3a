// Geometries cut down to the grid before GDAL's rasterizer burns them.
//
// With ALL_TOUCHED, the rasterizer walks every line it is given from pixel
// edge to pixel edge, even where the line runs beyond the raster: a bank
// whose vertex sits a thousand kilometres off (a typing slip, a point at 0,0
// in a projected CRS) took minutes. So in that mode each geometry that
// reaches beyond the grid is cut to a box around it first: the grid's extent
// grown by two pixels on every side. (Without ALL_TOUCHED a line is drawn
// from its end pixel to its end pixel, Bresenham's way, and which pixels it
// takes depends on both ends: a cut line could take others. That mode is
// left as it is.)
//
// Why the burned pixels are the same: every vertex inside the box is kept
// as it is, bit for bit; a segment that leaves the box is cut where it
// crosses the box's edge, so inside the box it is the same segment up to the
// rounding of that one crossing point, which lies two pixels beyond the
// grid: no pixel of the grid is touched by the part cut off, nor by the
// rounding. A ring of a polygon is cut by the box's four edges in turn
// (Sutherland and Hodgman), which keeps its inside vertices and adds edges
// that run along the box's edges, two pixels off the grid; a pixel of the
// grid is inside the cut polygon exactly when it was inside the polygon. A
// geometry whose envelope lies within the box is not touched at all.
// tests/gis/mask_test.cpp burns many geometries both ways and compares.
#pragma once

#include <ogr_geometry.h>

#include <memory>

#include "gis/georef.hpp"

struct BurnBox {
    double min_x;
    double min_y;
    double max_x;
    double max_y;
};

// The grid's extent on the ground (the corners through its geotransform)
// grown by two pixels on every side.
BurnBox burn_box(const Georef& grid);

// `geometry` cut to `box`: the very geometry when it lies within the box,
// nullptr when nothing of it does, otherwise the parts inside (curves made
// linear, in two dimensions).
std::unique_ptr<OGRGeometry> clipped_to_box(std::unique_ptr<OGRGeometry> geometry, const BurnBox& box);
