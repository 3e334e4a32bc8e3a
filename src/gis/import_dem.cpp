#include "gis/import_dem.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "gis/dem_source.hpp"
#include "gis/free_value.hpp"
#include "gis/sidecar.hpp"
#include "gis/grid_checks.hpp"
#include "gis/output_files.hpp"
#include "gis/pair_files.hpp"
#include "gis/tool_error.hpp"

namespace {

// A fill that a pixel with data holds would turn that pixel into nodata.
void refuse_held_fill(const GeoGrid<int32_t>& dem, int32_t fill, const std::string& source) {
    const std::optional<std::size_t> held = dem.first_holding(fill);
    if (!held) return;
    const double free = free_value(dem.data_values(), kDefaultNodata, std::numeric_limits<int32_t>::min(),
                                   std::numeric_limits<int32_t>::max());
    throw ToolError("el valor sin dato " + std::to_string(fill) + " lo tiene tambien un pixel con dato de " + source +
                    " (linea " + std::to_string(dem.line_of(*held)) + ", columna " +
                    std::to_string(dem.column_of(*held)) + "); elija otro con --nodata, p. ej. " +
                    std::to_string(static_cast<long long>(free)));
}

}  // namespace

void import_dem(const ImportDemOptions& options, CommandContext& context) {
    if (!(options.scale > 0.0) || !std::isfinite(options.scale))
        throw ToolError("--scale debe ser un numero positivo");
    const DemSource source(options.source, options.band, options.warp);
    const Georef& grid = source.grid();
    for (const std::string& warning : pixel_warnings(grid, options.source)) context.warnings.add(warning);

    OutputSet outputs(context.overwrite);
    outputs.protect(source.files());
    const PairOutputs files = add_elevation_pair(outputs, options.name);
    const OutputFile sidecar = outputs.add_file(sidecar_path(options.name));

    context.progress.update(0.0);
    ProgressSpan reading{context.progress, 0.0, 0.9};
    ScaledDem dem = source.read(options.scale, reading);
    if (options.nodata) refuse_held_fill(dem.grid, *options.nodata, options.source);
    const std::size_t holes = dem.grid.holes();
    // The pair has no room for a mask: its holes hold the fill.
    dem.grid.fill_holes(options.nodata.value_or(dem.lowest));
    if (holes > 0 && !options.nodata)
        context.warnings.add(std::to_string(holes) + " pixeles sin dato de " + options.source +
                             " reciben la elevacion mas baja (" + std::to_string(dem.lowest) +
                             "); con --nodata V quedan marcados como sin dato");

    ElevationPair pair;
    pair.lines = grid.lines;
    pair.columns = grid.columns;
    pair.pixel_size = pixel_size_field(grid);
    pair.pixels = std::move(dem.grid.values);
    BandUnits units;
    units.scale = 1.0 / options.scale;
    units.unit = source.units().unit;
    if (options.nodata) units.nodata = *options.nodata;
    write_elevation_pair(files, pair);
    write_output_bytes(sidecar,
                       sidecar_text(std::filesystem::path(files.raw.target).filename().string(), grid, units));
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
