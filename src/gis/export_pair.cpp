#include "gis/export_pair.hpp"

#include <sys/stat.h>

#include <utility>
#include <vector>

#include "gis/elevation_band.hpp"
#include "gis/sidecar.hpp"
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

// The pair on the model's ground; with a zone, the pixels outside it have no data.
GeoGrid<int32_t> read_exported(const ExportOptions& options, const Georef& grid) {
    ElevationPair pair = read_elevation_pair(options.name);
    if (pair.lines != grid.lines || pair.columns != grid.columns)
        throw ToolError("el par " + options.name + " tiene " + std::to_string(pair.columns) + " columnas x " +
                        std::to_string(pair.lines) + " lineas y el MDE " + options.like + " " + describe_grid(grid));
    GeoGrid<int32_t> exported{grid, std::move(pair.pixels), {}};
    if (options.mask) {
        MaskPair zone = read_mask_pair(*options.mask);
        require_same_size(zone, *options.mask, pair, options.name);
        require_tone(zone, options.tone, *options.mask);
        for (uint8_t& pixel : zone.pixels) pixel = pixel == options.tone ? 1 : 0;
        exported.has_data = std::move(zone.pixels);
    }
    return exported;
}

struct Band {
    std::vector<double> values;
    BandUnits units;
};

// The values as the output stores them, and what the band declares.
Band exported_band(const ExportOptions& options, const BandUnits& model, const GeoGrid<int32_t>& exported,
                   GDALDataType type, Warnings& warnings) {
    const double scale = options.unscale ? model.scale : 1.0;
    const double offset = options.unscale ? model.offset : 0.0;
    Band band{elevation_values(exported, scale, offset, type), {}};
    band.units.unit = model.unit;
    if (!options.unscale) {
        band.units.scale = model.scale;
        band.units.offset = model.offset;
    }
    if (options.mask) {
        std::size_t outside = 0;
        for (std::size_t k = 0; k < exported.values.size(); ++k)
            if (!exported.holds_data(k) && exported.values[k] != 0) ++outside;
        band.units.nodata =
            set_nodata_in_holes(band.values, exported, options.nodata.value_or(kDefaultNodata), type, "--nodata");
        if (outside > 0)
            warnings.add(std::to_string(outside) + " pixeles de " + options.name + " fuera de la zona de " +
                         *options.mask + " (tono " + std::to_string(options.tone) +
                         ") no valen 0 y quedan sin dato: si es un resultado, esa no es la zona que uso la corrida");
    } else if (model.nodata && same_file(elevation_raw_path(options.name), elevation_raw_path(options.like))) {
        // The model itself, written as it is: its holes hold the fill its
        // import declared, which the band declares in turn.
        band.units.nodata = stored(*model.nodata * scale + offset, type);
    }
    return band;
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

    require_memory(raster_bytes(dem.grid.lines, dem.grid.columns, 4 + 1 + 8 + 8), "exportar " + options.name);
    const GeoGrid<int32_t> exported = read_exported(options, dem.grid);
    context.progress.update(0.0);
    const Band band = exported_band(options, dem.units, exported, type, context.warnings);
    context.progress.update(0.1);

    Dataset memory = band_in_memory(exported.georef, type, band.values.data(), GDT_Float64, band.units);
    ProgressSpan span{context.progress, 0.1, 1.0};
    write_raster(static_cast<GDALDatasetH>(memory.get()), output, options.format, span, context.warnings,
                 &band.units);
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
