#include "gis/export_pair.hpp"

#include <sys/stat.h>

#include <vector>

#include "gis/elevation_band.hpp"
#include "gis/georef.hpp"
#include "gis/grid_checks.hpp"
#include "gis/memory_budget.hpp"
#include "gis/output_files.hpp"
#include "gis/pair_files.hpp"
#include "gis/tool_error.hpp"

namespace {

bool same_file(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

void export_pair(const ExportOptions& options, CommandContext& context) {
    if (options.nodata && !options.mask)
        throw ToolError("--nodata necesita --mask DIR/ZONA: quedan sin dato los pixeles fuera de la zona del cauce "
                        "que uso la corrida, nunca los que tienen un valor dado");
    const GDALDataType type = elevation_type(options.type, options.unscale, "export");
    const Sidecar dem = read_sidecar(options.like);
    check_output_format(options.format, type);

    OutputSet outputs(context.overwrite);
    outputs.protect(elevation_pair_files(options.name));
    outputs.protect(elevation_pair_files(options.like));
    if (options.mask) outputs.protect(mask_pair_files(*options.mask));
    const OutputFile output = outputs.add_dataset(options.output);

    const Georef& grid = dem.grid;
    require_memory(raster_bytes(grid.lines, grid.columns, 4 + 1 + 8 + 8), "exportar " + options.name);
    const ElevationPair pair = read_elevation_pair(options.name);
    if (pair.lines != grid.lines || pair.columns != grid.columns)
        throw ToolError("el par " + options.name + " tiene " + std::to_string(pair.columns) + " columnas x " +
                        std::to_string(pair.lines) + " lineas y el MDE " + options.like + " " + describe_grid(grid));
    MaskPair zone;
    if (options.mask) {
        zone = read_mask_pair(*options.mask);
        require_same_size(zone, *options.mask, pair, options.name);
        require_tone(zone, options.tone, *options.mask);
    }
    context.progress.update(0.0);

    // The values as the output stores them.
    const double scale = options.unscale ? dem.units.scale : 1.0;
    const double offset = options.unscale ? dem.units.offset : 0.0;
    auto in_channel = [&](std::size_t k) { return !options.mask || zone.pixels[k] == options.tone; };
    std::vector<double> values = elevation_values(pair.pixels, pair.columns, scale, offset, type, in_channel);

    BandUnits band;
    band.unit = dem.units.unit;
    if (!options.unscale) {
        band.scale = dem.units.scale;
        band.offset = dem.units.offset;
    }
    if (options.mask) {
        std::size_t outside = 0;
        for (std::size_t k = 0; k < values.size(); ++k)
            if (!in_channel(k) && pair.pixels[k] != 0) ++outside;
        band.nodata = set_nodata_outside(values, pair.columns, options.nodata.value_or(kDefaultNodata), type,
                                         in_channel, "--nodata");
        if (outside > 0)
            context.warnings.add(std::to_string(outside) + " pixeles de " + options.name + " fuera de la zona de " +
                                 *options.mask + " (tono " + std::to_string(options.tone) +
                                 ") no valen 0 y quedan sin dato: si es un resultado, esa no es la zona que uso "
                                 "la corrida");
    } else if (dem.units.nodata &&
               same_file(elevation_raw_path(options.name), elevation_raw_path(options.like))) {
        // The model itself: its fill is what its import declared as nodata.
        band.nodata = stored(*dem.units.nodata * scale + offset, type);
    }
    context.progress.update(0.1);

    Dataset memory = band_in_memory(grid, type, values.data(), GDT_Float64, band);
    ProgressSpan span{context.progress, 0.1, 1.0};
    write_raster(static_cast<GDALDatasetH>(memory.get()), output, options.format, span, context.warnings, &band);
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
