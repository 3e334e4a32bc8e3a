#include "windows/windowed_run.hpp"

#include <algorithm>
#include <new>
#include <vector>

#include "files/rounding.hpp"
#include "lib/grid.hpp"

namespace {

[[noreturn]] void no_memory(const RasterRect& window) {
    throw WindowError("No hay memoria para la ventana de " + std::to_string(window.lines) + " lineas y " +
                      std::to_string(window.columns) + " columnas");
}

bool inside(const RasterRect& inner, const RasterRect& outer) {
    return inner.line >= outer.line && inner.column >= outer.column &&
           int64_t{inner.line} + inner.lines <= int64_t{outer.line} + outer.lines &&
           int64_t{inner.column} + inner.columns <= int64_t{outer.column} + outer.columns;
}

// The side of the square parts of `core` whose tiles, with `halo`, fit `budget`
// (1 when none does, which the caller refuses).
int32_t part_side(const WindowedJob& job, const RasterRect& core, int32_t halo, int32_t threads) {
    int32_t side = std::max(core.lines, core.columns);
    while (side > 1) {
        const RasterRect part{core.line, core.column, std::min(side, core.lines), std::min(side, core.columns)};
        if (tile_bytes(job.plan.tile_of(part, halo), job.source.water_bodies(), threads) <= job.tile_budget) break;
        side = (side + 1) / 2;
    }
    return side;
}

CoreTotals run_tile(const WindowedJob& job, const Tile& tile, int32_t threads, ChannelProgress& progress,
                    TileScratch& scratch) {
    const ChannelParameters& parameters = job.parameters;
    const RasterRect& in = tile.inputs;
    WindowRows rows;
    const GridView<int32_t> slope = TileScratch::at_least(scratch.slope, in);
    const GridView<unsigned char> railing = TileScratch::at_least(scratch.railing, in);
    const GridView<unsigned char> zone = TileScratch::at_least(scratch.zone, in);
    const GridView<unsigned char> contour = TileScratch::at_least(scratch.contour, in);
    GridView<unsigned char> perimeter;
    if (parameters.water_bodies) perimeter = TileScratch::at_least(scratch.perimeter, in);
    rows.slope = slope.rows();
    rows.railing = railing.rows();
    rows.zone = zone.rows();
    rows.contour = contour.rows();
    if (parameters.water_bodies) rows.perimeter = perimeter.rows();
    job.source.read(in, rows);

    const ChannelInputs inputs{slope, railing, zone, contour, perimeter};
    const ChannelWindow window{job.plan.raster_lines(), job.plan.raster_columns(), tile.inputs, tile.output,
                               tile.core};
    // The elevations of the output window, held on its channel's columns only.
    Elevations elevations;
    try {
        elevations = channel_elevations(inputs, parameters.zone_tone, window);
    } catch (const std::bad_alloc&) {
        no_memory(tile.output);
    }
    const ChannelReport report = compute_channel(inputs, parameters, window, elevations, progress, threads);
    if (!report.computed) no_memory(in);

    // The check of windowed_run.hpp: did the window hold every sample read?
    const RasterRect& core = tile.core;
    const int32_t reach = report.search_reach;
    if (job.check_reach && reach > 0 && !inside(job.plan.tile_of(core, reach).inputs, in)) {
        elevations = Elevations();
        const int32_t side = part_side(job, core, reach, threads);
        const Tile smallest = job.plan.tile_of({core.line, core.column, std::min(side, core.lines),
                                                std::min(side, core.columns)}, reach);
        if (tile_bytes(smallest, parameters.water_bodies, threads) > job.tile_budget)
            throw WindowError("las busquedas de la tesela de la linea " + std::to_string(core.line) + ", columna " +
                              std::to_string(core.column) + " llegan a " + std::to_string(reach) +
                              " pixeles, y con ese margen no cabe ni un pixel en la memoria dada: de mas memoria");
        CoreTotals totals;
        scratch.release();
        for (int32_t line = core.line; line < core.line + core.lines; line += side)
            for (int32_t column = core.column; column < core.column + core.columns; column += side) {
                const RasterRect part{line, column, std::min(side, core.line + core.lines - line),
                                      std::min(side, core.column + core.columns - column)};
                totals.fold(run_tile(job, job.plan.tile_of(part, reach), threads, progress, scratch));
            }
        scratch.release();
        totals.widened_tiles = 1;
        return totals;
    }

    CoreTotals totals;
    totals.contour_misses = report.contour_misses;
    totals.boundary_misses = report.boundary_misses;
    const auto pixels = static_cast<std::size_t>(core.lines) * static_cast<std::size_t>(core.columns);
    std::vector<int32_t> rounded(pixels);
    std::vector<unsigned char> channel(pixels);
    const Tone zone_tone(parameters.zone_tone);
    const int32_t skip_lines = core.line - tile.output.line;
    const int32_t skip_columns = core.column - tile.output.column;
    for (int32_t a = 0; a < core.lines; ++a) {
        const std::size_t start = static_cast<std::size_t>(a) * static_cast<std::size_t>(core.columns);
        int32_t* line = rounded.data() + start;
        round_result_line(elevations.line(skip_lines + a), skip_columns, core.columns, line, totals.min, totals.max);
        const unsigned char* zone_line = zone[core.line + a - in.line] + (core.column - in.column);
        for (int32_t b = 0; b < core.columns; ++b) {
            const bool held = zone_tone.marks(zone_line[b]);
            channel[start + static_cast<std::size_t>(b)] = held ? 1 : 0;
            if (!held) continue;
            ++totals.channel_pixels;
            totals.channel_low = std::min(totals.channel_low, line[b]);
            totals.channel_high = std::max(totals.channel_high, line[b]);
        }
    }
    job.sink.write_core(core, {rounded.data(), channel.data()});
    return totals;
}

}  // namespace

void CoreTotals::fold(const CoreTotals& other) {
    if (other.min < min) min = other.min;
    if (other.max > max) max = other.max;
    channel_pixels += other.channel_pixels;
    channel_low = std::min(channel_low, other.channel_low);
    channel_high = std::max(channel_high, other.channel_high);
    contour_misses += other.contour_misses;
    boundary_misses += other.boundary_misses;
    widened_tiles += other.widened_tiles;
}

template <typename T>
GridView<T> TileScratch::at_least(Grid<T>& grid, const RasterRect& size) {
    if (grid.lines() < size.lines || grid.columns() < size.columns) {
        const int32_t lines = std::max(grid.lines(), size.lines);
        const int32_t columns = std::max(grid.columns(), size.columns);
        grid = {};  // the smaller grid goes before the larger one comes
        grid = Grid<T>::make(lines, columns);
        if (!grid.made()) no_memory(size);
    }
    return GridView<T>(grid.rows(), size.lines, size.columns);
}

CoreTotals run_window_tile(const WindowedJob& job, int64_t k, int32_t threads, ChannelProgress& progress,
                           TileScratch& scratch) {
    return run_tile(job, job.plan.tile(k, job.reaches), threads, progress, scratch);
}
