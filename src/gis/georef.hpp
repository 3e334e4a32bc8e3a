// The grid of an imported elevation pair on the ground, and what its values
// mean. The raw pairs cannot hold either, so import keeps them beside the
// pair in DIR/NAME_m4.vrt, a GDAL virtual raster over the raw file: export and
// import-mask read it back, and any GDAL program opens the pair through it
// with its georeferencing, its nodata value and the scale that turns the
// stored integers back into the source's units.
#pragma once

#include <gdal.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct Georef {
    int32_t lines = 0;
    int32_t columns = 0;
    bool has_transform = false;
    std::array<double, 6> transform{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::string crs_wkt;       // empty when the source had none
    std::string axis_mapping;  // GDAL's data axis to CRS axis mapping, "1,2" when empty
};

// What the integers of an elevation pair stand for: value * scale + offset
// in `unit` (the source's unit type, possibly empty); `nodata` the fill of
// pixels without data, when the import was told one.
struct BandUnits {
    double scale = 1.0;
    double offset = 0.0;
    std::string unit;
    std::optional<double> nodata;
};

// A band's scale, offset, unit type and nodata value as GDAL reads them (1, 0,
// "" and none when the band states none).
BandUnits band_units(GDALRasterBandH band);

struct Sidecar {
    Georef grid;
    BandUnits units;
};

Georef georef_of(GDALDatasetH dataset);
// Gives `dataset` the grid's geotransform, when it has one.
void set_transform(GDALDatasetH dataset, const Georef& grid);

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
