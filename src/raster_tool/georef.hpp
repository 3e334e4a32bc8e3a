// The grid of an imported elevation pair on the ground: size, geotransform
// and coordinate reference system. The raw pairs cannot hold it, so import
// keeps it beside the pair in DIR/NAME_m4.vrt, a GDAL virtual raster over the
// raw file: export and import-mask read it back, and any GDAL program opens
// the pair through it with its georeferencing.
#pragma once

#include <gdal.h>

#include <array>
#include <cstdint>
#include <string>

struct Georef {
    int32_t lines = 0;
    int32_t columns = 0;
    bool has_transform = false;
    std::array<double, 6> transform{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::string crs_wkt;  // empty when the source had none
};

Georef georef_of(GDALDatasetH dataset);

std::string sidecar_path(const std::string& dem_name);

// Writes the sidecar of the elevation pair `dem_name` (its raw file must exist).
void write_sidecar(const std::string& dem_name, const Georef& georef);

// The grid of an imported elevation pair, refused when the sidecar is missing
// or no longer matches the pair's descriptor.
Georef read_sidecar(const std::string& dem_name);

// Same size, and geotransforms equal to a millionth of a pixel, and the same
// CRS when both state one.
bool same_grid(const Georef& a, const Georef& b);

// "120 columnas x 80 lineas, origen (500000, 4100000), pixel 5 x -5".
std::string describe_grid(const Georef& georef);

// The descriptor's integer pixel size: the pixel width of the geotransform,
// rounded to the nearest integer (halves away from zero); 1 without a
// geotransform. A pixel narrower than half a unit gives 0, as a descriptor
// cannot state it.
int32_t pixel_size_field(const Georef& georef);
