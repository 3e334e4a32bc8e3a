// Where a grid lies on the ground: its size, the geotransform from pixel to
// ground coordinates and its CRS, as GDAL states them. Every grid the GIS
// commands hold carries one (geo_grid.hpp), so that what is made from a
// grid is written back where it was read; and what the values of a band
// mean (BandUnits).
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

// What the values of a band stand for: value * scale + offset in `unit`
// (the source's unit type, possibly empty); `nodata` the value by which the
// band marks pixels without data, when it declares one (how a file says it:
// in memory the GIS commands mark them otherwise, geo_grid.hpp).
struct BandUnits {
    double scale = 1.0;
    double offset = 0.0;
    std::string unit;
    std::optional<double> nodata;
};

// A band's scale, offset, unit type and nodata value as GDAL reads them (1, 0,
// "" and none when the band states none).
BandUnits band_units(GDALRasterBandH band);

Georef georef_of(GDALDatasetH dataset);
// Gives `dataset` the grid's geotransform, when it has one.
void set_transform(GDALDatasetH dataset, const Georef& grid);
