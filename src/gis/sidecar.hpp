// The grid of an imported elevation pair on the ground, and what its values
// mean. The raw pairs cannot hold either, so import keeps them beside the
// pair in DIR/NAME_m4.vrt, a GDAL virtual raster over the raw file: export and
// import-mask read it back, and any GDAL program opens the pair through it
// with its georeferencing, its nodata value and the scale that turns the
// stored integers back into the source's units.
#pragma once

#include <cstdint>
#include <string>

#include "gis/georef.hpp"

struct Sidecar {
    Georef grid;
    BandUnits units;
};

std::string sidecar_path(const std::string& dem_name);

// The sidecar's XML: a virtual raster over `raw_file_name`, a file beside it.
std::string sidecar_text(const std::string& raw_file_name, const Georef& georef, const BandUnits& units);

// The grid and units of an imported elevation pair, refused when the
// sidecar is missing or no longer matches the pair's descriptor.
Sidecar read_sidecar(const std::string& dem_name);

// The descriptor's integer pixel size: the pixel width of the geotransform,
// rounded to the nearest integer (halves away from zero); 1 without a
// geotransform. A pixel narrower than half a unit gives 0, as a descriptor
// cannot state it.
int32_t pixel_size_field(const Georef& georef);
