#include "gis/channel_computation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "files/rounding.hpp"
#include "gis/elevation_band.hpp"
#include "gis/exact_scaling.hpp"
#include "gis/tool_error.hpp"
#include "parallel/band_threads.hpp"

namespace {

// A height in the model's units as the computation's integers.
int32_t scaled_height(const std::string& option, double value, double scale, Warnings& warnings) {
    const double product = value * scale;
    const double rounded = rounded_decimal_product(value, scale);
    if (!(rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError(option + " " + elevation_text(value) + " no cabe en 32 bits una vez multiplicado por --scale " +
                        elevation_text(scale));
    if (std::fabs(product - rounded) > 1e-9 * std::max(1.0, std::fabs(rounded)))
        warnings.add(option + " " + elevation_text(value) + " se toma como " + elevation_text(rounded / scale) +
                     ", la resolucion del calculo (--scale " + elevation_text(scale) + ")");
    return static_cast<int32_t>(rounded);
}

// The computation's progress as a share of one step of the command's line.
class ShareProgress final : public ChannelProgress {
public:
    explicit ShareProgress(ProgressSpan& span) : span_(span) {}
    void share_done(double share) override { span_.progress.update(share, span_.from, span_.to); }
    bool stop_requested() override { return span_.progress.stop_requested(); }

private:
    ProgressSpan& span_;
};

GridView<const unsigned char> view_of(const std::vector<const unsigned char*>& rows, const Georef& grid) {
    return {rows.data(), grid.lines, grid.columns};
}

}  // namespace

ChannelHeights scaled_heights(const ChannelOptions& options, Warnings& warnings) {
    if (!(options.scale > 0.0) || !std::isfinite(options.scale))
        throw ToolError("--scale debe ser un numero positivo");
    ChannelHeights heights;
    heights.railing_height = scaled_height("--railing-height", options.railing_height, options.scale, warnings);
    if (options.contour_altitude)
        heights.contour_altitude = scaled_height("--contour-altitude", *options.contour_altitude, options.scale, warnings);
    return heights;
}

uint64_t channel_computation_bytes(const Georef& grid) {
    return channel_memory_bytes(ChannelWindow::whole(grid.lines, grid.columns));
}

ChannelParameters burned_parameters(const ChannelHeights& heights, bool water_bodies) {
    ChannelParameters parameters;
    parameters.zone_tone = kBurnTone;
    parameters.railing_tone = kBurnTone;
    parameters.contour_tone = kBurnTone;
    parameters.perimeter_tone = kBurnTone;
    parameters.railing_height = heights.railing_height;
    parameters.contour_altitude = heights.contour_altitude;
    parameters.water_bodies = water_bodies;
    return parameters;
}

ChannelResult compute_channel_grids(ChannelGrids grids, const ChannelHeights& heights, ProgressSpan& progress) {
    const Georef grid = grids.model.georef;
    const ChannelWindow window = ChannelWindow::whole(grid.lines, grid.columns);
    const auto model_rows = grids.model.rows();
    const auto bank_rows = grids.banks.rows();
    const auto zone_rows = grids.zone.rows();
    const auto contour_rows = grids.contour.rows();
    std::vector<const uint8_t*> lake_rows;
    if (grids.lakes) lake_rows = grids.lakes->rows();
    std::vector<const int32_t*> altitude_rows;
    if (grids.contour_altitudes) altitude_rows = grids.contour_altitudes->rows();
    const ChannelInputs inputs{{model_rows.data(), grid.lines, grid.columns},
                               view_of(bank_rows, grid),
                               view_of(zone_rows, grid),
                               view_of(contour_rows, grid),
                               grids.lakes ? view_of(lake_rows, grid) : GridView<const unsigned char>(),
                               grids.contour_altitudes ? GridView<const int32_t>(altitude_rows.data(), grid.lines,
                                                                                  grid.columns)
                                                       : GridView<const int32_t>()};
    const ChannelParameters parameters = burned_parameters(heights, grids.lakes.has_value());

    Elevations elevations = channel_elevations(inputs, kBurnTone, window);
    ShareProgress share(progress);
    ChannelResult result;
    result.report = compute_channel(inputs, parameters, window, elevations, share, threads_from_environment());
    if (result.report.stopped) throw ToolError("el calculo del cauce se detuvo a peticion");
    if (!result.report.computed) throw ToolError("no hay memoria suficiente para calcular el cauce");

    // Each elevation rounded as the console program writes it; 0 outside the channel.
    std::vector<uint8_t>& zone = grids.zone.values;
    result.elevations.georef = grid;
    result.elevations.values.assign(zone.size(), 0);
    grids.model = GeoGrid<int32_t>{};  // its memory goes to the outputs
    grids.contour_altitudes.reset();
    result.low = std::numeric_limits<int32_t>::max();
    result.high = std::numeric_limits<int32_t>::min();
    for (int32_t i = 0; i < grid.lines; ++i) {
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(grid.columns);
        for (int32_t j = 0; j < grid.columns; ++j) {
            const std::size_t k = start + static_cast<std::size_t>(j);
            if (zone[k] != kBurnTone) continue;
            const int32_t value = round_elevation(elevations.at(i, j));
            result.elevations.values[k] = value;
            ++result.pixels;
            result.low = std::min(result.low, value);
            result.high = std::max(result.high, value);
        }
    }
    // The pixels outside the channel zone have no data.
    for (uint8_t& pixel : zone) pixel = pixel == kBurnTone ? 1 : 0;
    result.elevations.has_data = std::move(zone);
    return result;
}
