// A channel's elevations as the band of an output raster holds them: the
// integers the computation rounded (Int32, Int16 or UInt16) with the model's
// scale, offset and unit, or, unscaled, real values in the model's units
// (Float32 or Float64). Pixels outside the channel zone are nodata, and
// which pixels those are comes from the zone, never from the values: a nodata
// value that a channel pixel holds is refused, naming one that none holds.
// Shared by export (a result pair) and channel (a computation in-process).
#pragma once

#include <gdal.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The value outside the channel when no other is chosen.
inline constexpr double kDefaultNodata = -9999.0;

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
// pixel `in_channel` whose value does not fit the type is refused.
std::vector<double> elevation_values(const std::vector<int32_t>& pixels, int32_t columns, double scale, double offset,
                                     GDALDataType type, const std::function<bool(std::size_t)>& in_channel);

// The pixels not `in_channel` become `nodata`, which the type must hold; a
// channel pixel that holds it is refused, and the message names a free value
// and the option that chooses it. Returns nodata as stored.
double set_nodata_outside(std::vector<double>& values, int32_t columns, double nodata, GDALDataType type,
                          const std::function<bool(std::size_t)>& in_channel, const std::string& option);

// "%.9g" of a value, as the messages print values.
std::string elevation_text(double value);
