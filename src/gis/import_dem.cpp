#include "gis/import_dem.hpp"

#include <sys/statvfs.h>

#include <algorithm>
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
#include "files/raster_pair.hpp"

namespace {

// What one pass over the model finds before the pair is written.
struct ModelScan {
    int32_t lowest = std::numeric_limits<int32_t>::max();
    int32_t highest = std::numeric_limits<int32_t>::min();
    std::size_t holes = 0;
    std::optional<std::pair<int32_t, int32_t>> holding_fill;  // the first pixel with data that holds --nodata
};

// A fill that a pixel with data holds would turn that pixel into nodata.
void refuse_held_fill(const ModelScan& scan, int32_t fill, const std::string& source) {
    if (!scan.holding_fill) return;
    const double free = free_value({static_cast<double>(scan.lowest), static_cast<double>(scan.highest)},
                                   kDefaultNodata, std::numeric_limits<int32_t>::min(),
                                   std::numeric_limits<int32_t>::max());
    throw ToolError("el valor sin dato " + std::to_string(fill) + " lo tiene tambien un pixel con dato de " + source +
                    " (linea " + std::to_string(scan.holding_fill->first) + ", columna " +
                    std::to_string(scan.holding_fill->second) + "); elija otro con --nodata, p. ej. " +
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

    // The raw file must fit the disk: known now, not after a pass over the model.
    const uint64_t raw_bytes = 4 * static_cast<uint64_t>(grid.lines) * static_cast<uint64_t>(grid.columns);
    struct statvfs disk {};
    const std::string folder = std::filesystem::path(files.raw.temporary).parent_path().string();
    if (statvfs(folder.c_str(), &disk) == 0 &&
        raw_bytes > static_cast<uint64_t>(disk.f_bavail) * static_cast<uint64_t>(disk.f_frsize))
        throw ToolError("no hay espacio en el disco para importar " + options.source + ": hacen falta " +
                        std::to_string((raw_bytes + (1u << 20) - 1) >> 20) + " MiB y hay " +
                        std::to_string((static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize) >> 20) + " MiB libres");

    // Two passes a band of lines at a time, never the whole raster: the
    // model's lowest elevation and holes, then the pair written line by line.
    context.progress.update(0.0);
    ProgressSpan scanning{context.progress, 0.0, 0.45};
    ModelScan scan;
    source.read_lines(options.scale, [&](int32_t line, const int32_t* values, const uint8_t* valid) {
        for (int32_t j = 0; j < grid.columns; ++j) {
            if (valid[j] == 0) {
                ++scan.holes;
                continue;
            }
            scan.lowest = std::min(scan.lowest, values[j]);
            scan.highest = std::max(scan.highest, values[j]);
            if (options.nodata && values[j] == *options.nodata && !scan.holding_fill) scan.holding_fill = {{line, j}};
        }
    }, scanning);
    if (scan.holes == static_cast<std::size_t>(grid.lines) * static_cast<std::size_t>(grid.columns))
        throw ToolError(options.source + " no tiene ningun pixel con dato");
    if (options.nodata) refuse_held_fill(scan, *options.nodata, options.source);
    // The pair has no room for a mask: its holes hold the fill.
    const int32_t fill = options.nodata.value_or(scan.lowest);
    if (scan.holes > 0 && !options.nodata)
        context.warnings.add(std::to_string(scan.holes) + " pixeles sin dato de " + options.source +
                             " reciben la elevacion mas baja (" + std::to_string(scan.lowest) +
                             "); con --nodata V quedan marcados como sin dato");

    ProgressSpan writing{context.progress, 0.45, 0.9};
    int32_t low = std::numeric_limits<int32_t>::max();
    int32_t high = std::numeric_limits<int32_t>::min();
    std::vector<int32_t> filled(static_cast<std::size_t>(grid.columns));
    write_output(files.raw, "wb", [&](std::FILE* raw) {
        bool written = true;
        source.read_lines(options.scale, [&](int32_t, const int32_t* values, const uint8_t* valid) {
            for (int32_t j = 0; j < grid.columns; ++j) {
                const auto k = static_cast<std::size_t>(j);
                filled[k] = valid[k] == 0 ? fill : values[k];
                low = std::min(low, filled[k]);
                high = std::max(high, filled[k]);
            }
            written = written && write_elevation_line(raw, filled.data(), grid.columns);
        }, writing);
        return written;
    });
    const int32_t descriptor[6] = {grid.lines, grid.columns, 4, low, high, pixel_size_field(grid)};
    write_output(files.descriptor, "w",
                 [&descriptor](std::FILE* file) { return write_six_descriptor(file, descriptor); });
    BandUnits units;
    units.scale = 1.0 / options.scale;
    units.unit = source.units().unit;
    if (options.nodata) units.nodata = *options.nodata;
    write_output_bytes(sidecar,
                       sidecar_text(std::filesystem::path(files.raw.target).filename().string(), grid, units));
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
