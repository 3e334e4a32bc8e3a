// Where channel writes: its outputs, declared before any work (so that an
// output that exists, is an input or is in use is refused at once), then
// written from the result's grid and put in place together
// (output_files.hpp).
//
// - The channel's elevations (elevation_band.hpp): the rounded integers with
//   the band scale 1/S and the model's unit, or real values in the model's
//   units unscaled; the pixels without data of the result (outside the
//   channel zone) hold the nodata value.
// - When asked, the model with the channel burned in and drained, or burned
//   only (conditioned_dem.hpp).
#pragma once

#include <gdal.h>

#include <optional>

#include "gis/channel_computation.hpp"
#include "gis/channel_options.hpp"
#include "gis/channel_sources.hpp"
#include "gis/conditioned_dem.hpp"
#include "gis/output_files.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"

class ChannelOutputs {
public:
    ChannelOutputs(const ChannelOptions& options, const ChannelSources& sources, bool overwrite);

    // The channel's elevations as pixels of `type`.
    void write_channel(const ChannelResult& result, GDALDataType type, ProgressSpan& progress, Warnings& warnings);
    // The conditioned model, when asked: drained with `draining`, burned only without it.
    std::optional<DrainageReport> write_conditioned(const ChannelResult& result, const DrainingSources* draining,
                                                    ProgressSpan& progress, Warnings& warnings);
    // Where each output is written, for the windowed route, which writes them itself.
    const OutputFile& channel_file() const { return channel_; }
    const std::optional<OutputFile>& conditioned_file() const { return conditioned_; }
    // Puts every output in place.
    void commit(Warnings& warnings) { outputs_.commit(warnings); }

private:
    const ChannelOptions& options_;
    const ChannelSources& sources_;
    OutputSet outputs_;
    OutputFile channel_;
    std::optional<OutputFile> conditioned_;
};
