#include "tiles/tiled_run.hpp"

#include <algorithm>
#include <new>
#include <vector>

#include "lib/grid.hpp"
#include "tiles/tiles_error.hpp"

namespace {

[[noreturn]] void no_memory(const RasterRect& window) {
    throw TilesError("No hay memoria para la ventana de " + std::to_string(window.lines) + " lineas y " +
                     std::to_string(window.columns) + " columnas");
}

}  // namespace

void CoreTotals::fold(const CoreTotals& other) {
    if (other.min < min) min = other.min;
    if (other.max > max) max = other.max;
    contour_misses += other.contour_misses;
    boundary_misses += other.boundary_misses;
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

CoreTotals run_tile(const TileSources& sources, const ChannelParameters& parameters, const Tile& tile,
                    int result_fd, const std::string& result_path, int32_t threads, ChannelProgress& progress,
                    TileScratch& scratch) {
    CoreTotals totals;
    const RasterRect& in = tile.inputs;
    const GridView<int32_t> slope = TileScratch::at_least(scratch.slope, in);
    const GridView<unsigned char> railing = TileScratch::at_least(scratch.railing, in);
    const GridView<unsigned char> zone = TileScratch::at_least(scratch.zone, in);
    const GridView<unsigned char> contour = TileScratch::at_least(scratch.contour, in);
    GridView<unsigned char> perimeter;
    if (parameters.water_bodies) perimeter = TileScratch::at_least(scratch.perimeter, in);
    read_window(*sources.slope, in, sources.columns, slope.rows());
    read_window(*sources.railing, in, sources.columns, railing.rows());
    read_window(*sources.zone, in, sources.columns, zone.rows());
    read_window(*sources.contour, in, sources.columns, contour.rows());
    if (parameters.water_bodies) read_window(*sources.perimeter, in, sources.columns, perimeter.rows());
    const ChannelInputs inputs{slope, railing, zone, contour, perimeter};
    const ChannelWindow window{sources.lines, sources.columns, tile.inputs, tile.output, tile.core};
    // The elevations of the output window, held on its channel's columns only.
    Elevations dtab;
    try {
        dtab = channel_elevations(inputs, parameters.zone_tone, window);
    } catch (const std::bad_alloc&) {
        no_memory(tile.output);
    }
    const ChannelReport report = compute_channel(inputs, parameters, window, dtab, progress, threads);
    if (!report.computed) no_memory(in);
    totals.contour_misses = report.contour_misses;
    totals.boundary_misses = report.boundary_misses;

    const RasterRect& core = tile.core;
    std::vector<int32_t> line(static_cast<std::size_t>(core.columns));
    const int32_t skip_lines = core.line - tile.output.line;
    const int32_t skip_columns = core.column - tile.output.column;
    for (int32_t a = 0; a < core.lines; ++a) {
        round_result_line(dtab.line(skip_lines + a), skip_columns, core.columns, line.data(), totals.min, totals.max);
        const uint64_t first = static_cast<uint64_t>(core.line + a) * static_cast<uint64_t>(sources.columns) +
                               static_cast<uint64_t>(core.column);
        write_pixels(result_fd, result_path, first, line.data(), core.columns);
    }
    return totals;
}
