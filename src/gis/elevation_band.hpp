// A channel's elevations as the band of an output raster holds them: the
// integers the computation rounded (Int32, Int16 or UInt16) with the model's
// scale, offset and unit, or, unscaled, real values in the model's units
// (Float32 or Float64). The pixels without data of the grid (outside the
// channel zone) get the band's nodata value: which pixels those are comes
// from the grid's mask, never from the values, and a nodata value that a
// pixel with data holds is refused, naming one that none holds.
// Shared by export (a result pair) and channel (a computation in-process).
#pragma once

#include <gdal.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gis/free_value.hpp"
#include "gis/geo_grid.hpp"

struct TypeRange {
    double low;
    double high;
};
TypeRange range_of(GDALDataType type);

// A value as a band of `type` stores it (Float32 rounds it to float).
double stored(double value, GDALDataType type);

// The band's type: `chosen` (-ot) or Int32, Float32 when unscaled; a type
// that cannot hold the values is refused, the message naming `command`.
GDALDataType elevation_type(const std::optional<GDALDataType>& chosen, bool unscale, const std::string& command);

// Every pixel value * scale + offset as `type` stores it, line by line; a
// pixel with data whose value does not fit the type is refused.
std::vector<double> elevation_values(const GeoGrid<int32_t>& grid, double scale, double offset, GDALDataType type);

// The pixels of `grid` without data become `nodata` in `values` (the band's
// values of the grid), which the type must hold; a pixel with data that
// holds it is refused, and the message names a free value and the option
// that chooses it. Returns nodata as stored: what the band declares.
double set_nodata_in_holes(std::vector<double>& values, const GeoGrid<int32_t>& grid, double nodata,
                           GDALDataType type, const std::string& option);

// "%.9g" of a value, as the messages print values.
std::string elevation_text(double value);

// An integer of the computation at `scale` in the model's units, with the
// unit when there is one ("198.44 m").
std::string scaled_text(int32_t value, double scale, const std::string& unit);
