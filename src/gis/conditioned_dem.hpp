// The elevation model with a channel burned in: what a hydraulic model runs
// on. A copy of the model as GDAL reads it (every band, the grid, pixel type,
// nodata value, scale, offset, unit, georeferencing and metadata), in which
// each channel pixel of the chosen band holds the channel's elevation, as
// burned (--burn-only) or conditioned to drain (hydrology/drainage.hpp: the
// river descends to its outlet below the model, no closed depression is left
// in the zone, and the zone meets the model at its edge). The draining pass
// works on the band's own values (raw x scale + offset) and sets only values
// the band holds; holes of the model on the river or a lake stand at the
// nearest value with data along it, other holes at the model's lowest.
//
// A channel elevation in the model's units becomes the band's raw value
// (elevation - offset) / scale: for integer pixel types rounded to the
// nearest integer, halves away from zero (as import-dem rounds, exactly:
// exact_scaling.hpp), for Float32 rounded to float. The band's statistics
// (STATISTICS_*) no longer hold and are dropped. A raw value the type cannot hold is refused, never
// clipped, and so is one equal to the band's nodata value (that pixel would
// read as a hole). A channel pixel where the model had no data holds the
// channel's elevation and is valid; when the model marks its holes with a
// mask band, the mask is set there too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gis/dem_source.hpp"
#include "gis/dem_warp.hpp"
#include "gis/exact_scaling.hpp"
#include "gis/geo_grid.hpp"
#include "gis/output_files.hpp"
#include "gis/progress.hpp"
#include "gis/raster_writer.hpp"
#include "gis/warnings.hpp"
#include "hydrology/drainage.hpp"

// What the draining pass reads beside the channel: the banks (the river) and
// the lakes on the model's grid, and the railing height in the model's units.
struct DrainingSources {
    const GeoGrid<uint8_t>& banks;
    const GeoGrid<uint8_t>* lakes;  // null without lakes
    double railing_height;
};

// Refused before any work: a model whose pixels are complex numbers.
void check_conditioned_type(const DemSource& dem);
// Refused before any work: a warped model of integers without a nodata
// value, whose pixels beyond its reach would hold 0.
void check_conditioned_warp(const DemSource& dem, const WarpRequest& warp);

// The bytes per pixel a conditioned copy of the model holds in memory, with
// the draining pass's own grids when it drains.
std::uint64_t conditioned_bytes_per_pixel(const DemSource& dem, bool draining);

// Writes the conditioned model into `output`. `channel` is on the model's
// grid: its pixels with data are the channel's, each holding its elevation
// in integers of 1 / `scale` of the model's units. With `draining`,
// the channel is drained first, and what the pass did is returned.
std::optional<DrainageReport> write_conditioned_dem(const DemSource& dem, const GeoGrid<int32_t>& channel,
                                                    double scale, const DrainingSources* draining,
                                                    const OutputFile& output, const RasterFormat& format,
                                                    ProgressSpan& progress, Warnings& warnings);

// The raw value the model's band holds for a channel elevation, by the rules
// above: `elevation` in the model's units, with `integer` the computation's
// integer it came from when burned (rounded exactly), none when drained; k
// names the pixel (line * columns + column) in the message of a refusal.
struct RawConversion {
    GDALDataType type;
    double scale;
    double offset;
    std::optional<double> nodata;
    ExactAffine to_raw;  // from the computation's integers, for integer types

    // The conversion of `dem`'s band for a computation at `scale`.
    static RawConversion of(const DemSource& dem, double scale);
    double operator()(double elevation, std::optional<int32_t> integer, std::size_t k, int32_t columns) const;
};

// GDAL's figures of the band it was copied from (STATISTICS_MINIMUM and the
// like) no longer hold once the channel is in: they are dropped (the
// windowed route drops them from its copy too).
void drop_statistics(GDALRasterBandH band);
