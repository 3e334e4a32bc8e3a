#include "gis/channel_command.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "gis/channel_computation.hpp"
#include "gis/channel_outputs.hpp"
#include "gis/channel_sources.hpp"
#include "gis/conditioned_dem.hpp"
#include "gis/elevation_band.hpp"
#include "gis/memory_budget.hpp"
#include "gis/tool_error.hpp"

namespace {

// Refused before any work: the memory of the whole command. The model as
// integers and its mask, four masks, the rounded elevations, the band's
// values and the band in memory; the computation's own work grids; the
// conditioned copy of the model.
void require_channel_memory(const ChannelOptions& options, const ChannelSources& sources) {
    const Georef& grid = sources.dem().grid();
    uint64_t bytes = raster_bytes(grid.lines, grid.columns, 5 + 4 + 4 + 8 + 8);
    bytes += channel_computation_bytes(grid);
    if (options.conditioned)
        bytes += raster_bytes(grid.lines, grid.columns,
                              conditioned_bytes_per_pixel(sources.dem(), !options.burn_only) + (options.burn_only ? 0 : 2));
    if (options.contour_altitude_field || options.contour_altitude_from_dem)
        bytes += raster_bytes(grid.lines, grid.columns, 4 + 1 + 9);  // the altitudes, and a field as read
    require_memory(bytes, "calcular el cauce de " + options.dem);
}

// What the draining pass did, in the model's units at the computation's resolution.
std::string drainage_text(const DrainageReport& report, double scale, const std::string& unit) {
    const auto figure = [&](double value) {
        return scaled_text(static_cast<int32_t>(std::lround(std::min(value * scale, 2e9))), scale, unit);
    };
    std::string text = "Drenaje: " + std::to_string(report.river_pixels) + " pixeles de rio con " +
                       std::to_string(report.outlets) + " salidas";
    if (report.lakes > 0)
        text += " y " + std::to_string(report.lakes) + " lagos (" + std::to_string(report.lakes_lowered) +
                " rebajados)";
    text += ", rebajado hasta " + figure(report.deepest_cut) + " bajo su lecho; " +
            std::to_string(report.depressions) + " depresiones en la zona, " + std::to_string(report.breached) +
            " abiertas; " + std::to_string(report.raised) + " pixeles elevados" +
            (report.raised > 0 ? " hasta " + figure(report.highest_raise) : std::string()) + "\n";
    if (report.outlets_shut > 0)
        text += "Aviso: " + std::to_string(report.outlets_shut) +
                " salidas del rio quedan por debajo del MDE fuera de la zona\n";
    return text;
}

void print_summary(const ChannelOptions& options, const ChannelSources& sources, const ChannelResult& result,
                   const std::optional<DrainageReport>& drainage, std::FILE* out) {
    if (out == nullptr) return;
    const std::string& unit = sources.dem().units().unit;
    std::string text = "Cauce: " + std::to_string(result.pixels) + " pixeles, elevacion de " +
                       scaled_text(result.low, options.scale, unit) + " a " +
                       scaled_text(result.high, options.scale, unit) + "\n";
    text += "Busquedas sin resultado a menos de " + std::to_string(kLargestRing) +
            " pixeles: " + std::to_string(result.report.contour_misses) + " de la curva de nivel, " +
            std::to_string(result.report.boundary_misses) + " del limite inferior\n";
    if (drainage) text += drainage_text(*drainage, options.scale, unit);
    text += "Escrito " + options.output + (options.conditioned ? " y " + *options.conditioned : "") + "\n";
    std::fputs(text.c_str(), out);
    if (std::fflush(out) != 0 || std::ferror(out))
        throw AfterOutputsError(
            "no se puede escribir el resumen en la salida estandar (las salidas ya estan escritas)");
}

}  // namespace

void channel_command(const ChannelOptions& options, CommandContext& context) {
    ChannelHeights heights = scaled_heights(options, context.warnings);
    const GDALDataType type = elevation_type(options.type, options.unscale, "channel");
    check_output_format(options.format, type);
    const ChannelSources sources(options, context.warnings);
    ChannelOutputs outputs(options, sources, context.overwrite);
    require_channel_memory(options, sources);

    context.progress.update(0.0);
    ProgressSpan reading{context.progress, 0.0, 0.2};
    ChannelGrids grids = sources.read(options.scale, reading, context.warnings);
    if (!options.contour_altitude) heights.contour_altitude = grids.lowest_contour_altitude;
    // The draining pass reads the river and the lakes after the computation is done with them.
    const bool draining = options.conditioned && !options.burn_only;
    const GeoGrid<uint8_t> banks = draining ? grids.banks : GeoGrid<uint8_t>{};
    const std::optional<GeoGrid<uint8_t>> lakes = draining ? grids.lakes : std::nullopt;
    ProgressSpan computing{context.progress, 0.2, 0.8};
    const ChannelResult result = compute_channel_grids(std::move(grids), heights, computing);
    ProgressSpan writing{context.progress, 0.8, options.conditioned ? 0.9 : 1.0};
    outputs.write_channel(result, type, writing, context.warnings);
    ProgressSpan conditioning{context.progress, 0.9, 1.0};
    const DrainingSources river{banks, lakes ? &*lakes : nullptr,
                                static_cast<double>(heights.railing_height) / options.scale};
    const std::optional<DrainageReport> drainage =
        outputs.write_conditioned(result, draining ? &river : nullptr, conditioning, context.warnings);
    outputs.commit(context.warnings);
    context.progress.update(1.0);

    print_summary(options, sources, result, drainage, context.summary);
}
