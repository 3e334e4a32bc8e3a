// Grids compared and described for a person: which of size, CRS, origin and
// pixel size differ between two grids, and what about a grid's pixels makes
// the ring search of the console program measure badly (it counts pixels).
#pragma once

#include <string>
#include <vector>

#include "gis/georef.hpp"

// The CRS's own name ("WGS 84 / UTM zone 14N"), "sin SRC" when there is none.
std::string crs_name(const std::string& wkt);

// "EPSG:32614" when the CRS is known by an EPSG code, else "".
std::string crs_code(const std::string& wkt);

// Both state a CRS and they are the same one, or neither states one.
bool same_crs(const std::string& a, const std::string& b);

// What differs between `grid` and the reference grid `dem`, one phrase each
// ("SRC WGS 84 / UTM zone 15N (el MDE: WGS 84 / UTM zone 14N)"); empty when
// they are the same grid: same size, geotransforms equal to a millionth of a
// pixel and the same CRS. A CRS stated on one side only is left to the
// caller (see same_crs).
std::vector<std::string> grid_differences(const Georef& grid, const Georef& dem);

// "120 columnas x 80 lineas, origen (500000, 4100000), pixel 5 x -5".
std::string describe_grid(const Georef& georef);

// Warnings about pixels that are not what the ring search assumes: a CRS in
// degrees, pixels that are not square, and, when the grid goes into a
// descriptor, pixels narrower than half a unit (it stores 0 for them).
std::vector<std::string> pixel_warnings(const Georef& georef, const std::string& source, bool descriptor = true);
