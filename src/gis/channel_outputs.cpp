#include "gis/channel_outputs.hpp"

#include <vector>

#include "gis/conditioned_dem.hpp"
#include "gis/elevation_band.hpp"
#include "gis/free_value.hpp"
#include "gis/raster_writer.hpp"

ChannelOutputs::ChannelOutputs(const ChannelOptions& options, const ChannelSources& sources, bool overwrite)
    : options_(options), sources_(sources), outputs_(overwrite) {
    outputs_.protect(sources.files());
    channel_ = outputs_.add_dataset(options.output);
    if (options.conditioned) conditioned_ = outputs_.add_dataset(*options.conditioned);
}

void ChannelOutputs::write_channel(const ChannelResult& result, GDALDataType type, ProgressSpan& progress,
                                   Warnings& warnings) {
    const double unit_per_integer = 1.0 / options_.scale;
    std::vector<double> values =
        elevation_values(result.elevations, options_.unscale ? unit_per_integer : 1.0, 0.0, type);
    BandUnits band;
    band.unit = sources_.dem().units().unit;
    if (!options_.unscale) band.scale = unit_per_integer;
    band.nodata =
        set_nodata_in_holes(values, result.elevations, options_.nodata.value_or(kDefaultNodata), type, "--nodata");
    Dataset memory = band_in_memory(result.elevations.georef, type, values.data(), GDT_Float64, band);
    values = std::vector<double>{};
    write_raster(static_cast<GDALDatasetH>(memory.get()), channel_, options_.format, progress, warnings, &band);
}

std::optional<DrainageReport> ChannelOutputs::write_conditioned(const ChannelResult& result,
                                                                const DrainingSources* draining,
                                                                ProgressSpan& progress, Warnings& warnings) {
    if (!conditioned_) return std::nullopt;
    return write_conditioned_dem(sources_.dem(), result.elevations, options_.scale, draining, *conditioned_,
                                 options_.conditioned_format(), progress, warnings);
}
