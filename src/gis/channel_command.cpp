#include "gis/channel_command.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include <unistd.h>

#include <gdal.h>

#include "gis/channel_computation.hpp"
#include "gis/channel_outputs.hpp"
#include "gis/channel_sources.hpp"
#include "gis/conditioned_dem.hpp"
#include "gis/elevation_band.hpp"
#include "gis/gdal_windows.hpp"
#include "gis/memory_budget.hpp"
#include "gis/tool_error.hpp"
#include "parallel/band_threads.hpp"
#include "windows/core_files.hpp"
#include "windows/processes.hpp"
#include "windows/reach_map.hpp"
#include "windows/tile_loop.hpp"
#include "windows/tile_plan.hpp"
#include "windows/windowed_run.hpp"

namespace {

// The memory of the whole route. The model as integers and its mask, four
// masks, the rounded elevations, the band's values and the band in memory;
// the computation's own work grids; the conditioned copy of the model (and
// the draining pass's grids); the altitudes along the contour.
uint64_t whole_route_bytes(const ChannelOptions& options, const ChannelSources& sources) {
    const Georef& grid = sources.dem().grid();
    uint64_t bytes = raster_bytes(grid.lines, grid.columns, 5 + 4 + 4 + 8 + 8);
    bytes += channel_computation_bytes(grid);
    if (options.conditioned)
        bytes += raster_bytes(grid.lines, grid.columns,
                              conditioned_bytes_per_pixel(sources.dem(), !options.burn_only) + (options.burn_only ? 0 : 2));
    if (options.contour_altitude_field || options.contour_altitude_from_dem)
        bytes += raster_bytes(grid.lines, grid.columns, 4 + 1 + 9);  // the altitudes, and a field as read
    return bytes;
}

// What the windowed route cannot do as the whole route does it; the reason,
// in words for the refusal, or none. Both are passes over the whole raster
// whose results differ with the extent they see: the draining pass floods
// the model's depressions by priority from the zone's outlets, and the
// altitudes per contour pixel are completed along each piece of the
// contour, wherever it runs.
std::optional<std::string> beyond_windows(const ChannelOptions& options) {
    if (options.conditioned && !options.burn_only)
        return std::string("el drenaje de --conditioned (un relleno por prioridad sobre el MDE entero) no se hace por "
                           "ventanas: use --burn-only para grabar el cauce tal cual");
    if (options.contour_altitude_field || options.contour_altitude_from_dem)
        return std::string("las altitudes por pixel de la curva de nivel (--contour-altitude dem o "
                           "--contour-altitude-field) no se leen por ventanas: de una sola con --contour-altitude A");
    return std::nullopt;
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

// Half the machine's memory, as lorvantide-tiles takes by default.
uint64_t default_memory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    const uint64_t physical = pages > 0 && page_size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)
                                                         : uint64_t{4} << 30;
    return physical / 2;
}

// The tile plan of the windowed route: cores of --tile, or as large as
// --memory (or half the machine's) allows; `budget` the bytes of one tile.
TilePlan choose_plan(const ChannelOptions& options, const ReachMap& reaches, const GdalWindowSource& source,
                     int32_t threads, uint64_t& budget) {
    const bool water = source.water_bodies();
    const int32_t lines = source.lines();
    const int32_t columns = source.columns();
    const uint64_t memory = options.memory.value_or(default_memory());
    const uint64_t fixed = kGdalCacheBytes + kGdalLibraryBytes + resident_bytes(reaches.largest()) +
                           ReachMap::measure_bytes(lines, columns, water);
    budget = memory > fixed ? memory - fixed : 0;
    if (options.tile) {
        const TilePlan plan(lines, columns, *options.tile, *options.tile);
        budget = std::max(budget, largest_tile_bytes(plan, reaches, water, threads));
        return plan;
    }
    const std::optional<TilePlan> chosen =
        plan_for_reaches(reaches, lines, columns, water,
                         memory > kGdalCacheBytes + kGdalLibraryBytes ? memory - kGdalCacheBytes - kGdalLibraryBytes : 0,
                         1, threads);
    if (!chosen)
        throw ToolError("con --memory " + std::to_string(memory) + " bytes no cabe ni una tesela del calculo por ventanas");
    return *chosen;
}


ChannelResult result_of(const CoreTotals& totals) {
    ChannelResult result;
    result.report.computed = true;
    result.report.contour_misses = totals.contour_misses;
    result.report.boundary_misses = totals.boundary_misses;
    result.pixels = totals.channel_pixels;
    result.low = totals.channel_low;
    result.high = totals.channel_high;
    return result;
}

// The windowed route: the model scanned for its lowest elevation, the masks
// measured for the reach map, then the tiles on this process's threads, each
// core written into the outputs as soon as it is computed (gdal_windows.hpp).
ChannelResult channel_by_windows(const ChannelOptions& options, const ChannelHeights& heights,
                                 const ChannelSources& sources, ChannelOutputs& outputs, GDALDataType type,
                                 CommandContext& context) {
    GDALSetCacheMax64(static_cast<GIntBig>(kGdalCacheBytes));
    const int32_t threads = options.threads ? *options.threads : threads_from_environment();
    GdalWindowSource source(sources, options.dem, options.scale, context.warnings);
    struct Removal {
        GdalWindowSource& source;
        ~Removal() { source.remove_masks(); }
    } removal{source};
    source.keep_masks(outputs.channel_file().temporary + ".mascaras", false);
    ProgressSpan scanning{context.progress, 0.0, 0.05};
    source.scan_model(scanning);

    const ChannelParameters parameters = burned_parameters(heights, source.water_bodies());
    const ReachMap reaches = ReachMap::measure(source, parameters, threads, [&context](double share) {
        context.progress.update(share, 0.05, 0.15);
    });
    source.check_masks(options.contour_altitude, context.warnings);

    uint64_t budget = 0;
    const TilePlan plan = choose_plan(options, reaches, source, threads, budget);

    ProgressSpan copying{context.progress, 0.15, options.conditioned ? 0.25 : 0.15};
    GdalWindowSink sink(options, sources, type, outputs.channel_file(), outputs.conditioned_file(), copying);
    const WindowedJob job{source, sink, parameters, plan, reaches, budget, true};
    const TileWork work = [&](int64_t k, ChannelProgress& share, TileScratch& scratch) {
        return run_window_tile(job, k, threads, share, scratch);
    };
    Processes alone;
    const LoopResult loop = share_tiles(alone, plan.count(), 1, work, context.progress, copying.to, 0.95);
    if (!loop.ok) throw ToolError(loop.error);
    ProgressSpan closing{context.progress, 0.95, 1.0};
    sink.finish(closing, context.warnings);

    return result_of(loop.totals);
}

// A step every process of an MPI run takes: a failure on any of them fails
// them all (the one that failed tells why).
template <typename Step>
void together(Processes& processes, Step step) {
    std::string message;
    bool ok = true;
    try {
        step();
    } catch (const ToolError& error) {
        ok = false;
        message = error.what();
    } catch (const std::bad_alloc&) {
        ok = false;
        message = "no hay memoria suficiente para channel";
    } catch (const std::exception& error) {
        ok = false;
        message = std::string("channel no pudo terminar: ") + error.what();
    }
    if (processes.all(ok)) return;
    if (!ok) throw ToolError(message);
    throw PeerFailure();
}

// The windowed route on the processes of an MPI run (gdal_windows.hpp says
// why only rank 0 writes the outputs): rank 0 scans, measures and plans, and
// every process computes the tiles rank 0 hands it into the core files; then
// rank 0 alone writes the outputs from them.
void channel_on_processes(const ChannelOptions& options, CommandContext& context, Processes& processes) {
    ChannelHeights heights;
    GDALDataType type = GDT_Int32;
    std::optional<ChannelSources> sources;
    std::optional<ChannelOutputs> outputs;
    together(processes, [&] {
        heights = scaled_heights(options, context.warnings);
        if (const std::optional<std::string> beyond = beyond_windows(options); beyond && processes.first())
            throw ToolError("bajo mpirun el calculo es por ventanas, que no puede con estas opciones: " + *beyond);
        type = elevation_type(options.type, options.unscale, "channel");
        check_output_format(options.format, type);
        sources.emplace(options, context.warnings);
        if (processes.first()) outputs.emplace(options, *sources, context.overwrite);
    });
    GDALSetCacheMax64(static_cast<GIntBig>(kGdalCacheBytes));
    const int32_t threads = options.threads ? *options.threads : threads_from_environment();
    GdalWindowSource source(*sources, options.dem, options.scale, context.warnings);
    const ChannelParameters parameters = burned_parameters(heights, source.water_bodies());
    ReachMap reaches;
    TilePlan plan;
    uint64_t budget = 0;
    CoreFiles cores;
    struct Removal {
        CoreFiles& files;
        GdalWindowSource& source;
        ~Removal() {
            files.remove();
            source.remove_masks();
        }
    } removal{cores, source};
    std::string shared;
    together(processes, [&] {
        if (!processes.first()) return;
        context.progress.update(0.0);
        source.keep_masks(outputs->channel_file().temporary + ".mascaras", false);
        ProgressSpan scanning{context.progress, 0.0, 0.05};
        source.scan_model(scanning);
        reaches = ReachMap::measure(source, parameters, threads,
                                    [&context](double share) { context.progress.update(share, 0.05, 0.15); });
        source.check_masks(options.contour_altitude, context.warnings);
        plan = choose_plan(options, reaches, source, threads, budget);
        const std::string prefix = outputs->channel_file().temporary + ".nucleos";
        cores.create(prefix, source.lines(), source.columns());
        shared = std::to_string(source.lowest()) + " " + std::to_string(plan.core_lines()) + " " +
                 std::to_string(plan.core_columns()) + " " + std::to_string(budget) + " " + prefix + "\n" +
                 source.masks_path();
    });
    shared = processes.from_first(shared);
    const std::string map = processes.from_first(processes.first() ? reaches.to_bytes() : std::string());
    const std::string filled = processes.from_first(processes.first() ? source.filled_to_bytes() : std::string());
    together(processes, [&] {
        if (processes.first()) return;
        std::istringstream words(shared);
        int32_t lowest = 0, core_lines = 1, core_columns = 1;
        std::string prefix, masks;
        words >> lowest >> core_lines >> core_columns >> budget;
        std::getline(words >> std::ws, prefix);
        std::getline(words, masks);
        source.set_lowest(lowest);
        source.keep_masks(masks, true);
        source.filled_from_bytes(filled);
        reaches = ReachMap::from_bytes(map);
        plan = TilePlan(source.lines(), source.columns(), core_lines, core_columns);
        cores.join(prefix, source.lines(), source.columns());
    });

    const WindowedJob job{source, cores, parameters, plan, reaches, budget, true};
    const TileWork work = [&](int64_t k, ChannelProgress& share, TileScratch& scratch) {
        return run_window_tile(job, k, threads, share, scratch);
    };
    const LoopResult loop = share_tiles(processes, plan.count(), 1, work, context.progress, 0.15, 0.8);
    together(processes, [&] {
        if (!loop.ok) throw ToolError(loop.error);
        cores.flush();
    });
    const CoreTotals totals = processes.gather(loop.totals);

    std::string message;
    bool ok = true;
    if (processes.first()) {
        try {
            ProgressSpan copying{context.progress, 0.8, options.conditioned ? 0.85 : 0.8};
            GdalWindowSink sink(options, *sources, type, outputs->channel_file(), outputs->conditioned_file(), copying);
            std::vector<int32_t> rounded;
            std::vector<unsigned char> channel;
            for (int64_t k = 0; k < plan.count(); ++k) {
                const RasterRect core = plan.tile(k).core;
                const auto pixels = static_cast<std::size_t>(core.lines) * static_cast<std::size_t>(core.columns);
                rounded.resize(pixels);
                channel.resize(pixels);
                cores.read_core(core, rounded.data(), channel.data());
                sink.write_core(core, {rounded.data(), channel.data()});
                context.progress.update(static_cast<double>(k + 1) / static_cast<double>(plan.count()), copying.to, 0.95);
            }
            ProgressSpan closing{context.progress, 0.95, 1.0};
            sink.finish(closing, context.warnings);
            // Nothing of the run is left in the outputs' folders, which move whole.
            cores.remove();
            source.remove_masks();
            outputs->commit(context.warnings);
            context.progress.update(1.0);
        } catch (const std::exception& error) {
            ok = false;
            message = error.what();
        }
    }
    if (!processes.first_says(ok)) {
        if (processes.first()) throw ToolError(message);
        throw PeerFailure();
    }
    if (processes.first()) print_summary(options, *sources, result_of(totals), std::nullopt, context.summary);
}

}  // namespace

void channel_command(const ChannelOptions& options, CommandContext& context) {
    if (context.processes != nullptr && context.processes->size() > 1) {
        channel_on_processes(options, context, *context.processes);
        return;
    }
    ChannelHeights heights = scaled_heights(options, context.warnings);
    const GDALDataType type = elevation_type(options.type, options.unscale, "channel");
    check_output_format(options.format, type);
    const ChannelSources sources(options, context.warnings);
    ChannelOutputs outputs(options, sources, context.overwrite);
    const uint64_t whole = whole_route_bytes(options, sources);
    if (options.tile || whole > options.memory.value_or(default_memory())) {
        // Options the windowed route cannot honour are refused when windows
        // were asked for (--tile, --memory), or when the whole route does not
        // fit either; otherwise the whole route runs, as without windows.
        const std::optional<std::string> beyond = beyond_windows(options);
        if (!beyond) {
            context.progress.update(0.0);
            const ChannelResult result = channel_by_windows(options, heights, sources, outputs, type, context);
            outputs.commit(context.warnings);
            context.progress.update(1.0);
            print_summary(options, sources, result, std::nullopt, context.summary);
            return;
        }
        if (options.tile || options.memory || whole > available_memory())
            throw ToolError("el calculo por ventanas" +
                            std::string(options.tile || options.memory ? "" : " (el calculo entero no cabe en memoria)") +
                            " no puede con estas opciones: " + *beyond);
    }
    require_memory(whole, "calcular el cauce de " + options.dem);

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
