#include "export_pair.hpp"

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <vector>

#include "free_value.hpp"
#include "georef.hpp"
#include "grid_checks.hpp"
#include "memory_budget.hpp"
#include "output_files.hpp"
#include "pair_files.hpp"
#include "tool_error.hpp"

namespace {

struct TypeRange {
    double low;
    double high;
};

TypeRange range_of(GDALDataType type) {
    switch (type) {
        case GDT_Int16: return {-32768.0, 32767.0};
        case GDT_UInt16: return {0.0, 65535.0};
        case GDT_Int32: return {-2147483648.0, 2147483647.0};
        case GDT_Float32: return {-std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
        default: return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    }
}

// A value as the output type stores it.
double stored(double value, GDALDataType type) {
    return type == GDT_Float32 ? static_cast<double>(static_cast<float>(value)) : value;
}

GDALDataType chosen_type(const ExportOptions& options) {
    const GDALDataType type = options.type.value_or(options.unscale ? GDT_Float32 : GDT_Int32);
    const bool fits = options.unscale ? (type == GDT_Float32 || type == GDT_Float64)
                                      : (type == GDT_Int16 || type == GDT_UInt16 || type == GDT_Int32);
    if (!fits)
        throw ToolError("-ot " + type_name(type) +
                        " no vale para export: sin --unscale se escriben los enteros del par (Int16, UInt16 o "
                        "Int32), con --unscale valores reales (Float32 o Float64)");
    return type;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::string value_text(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

void export_pair(const ExportOptions& options, CommandContext& context) {
    if (options.nodata && !options.mask)
        throw ToolError("--nodata necesita --mask DIR/ZONA: quedan sin dato los pixeles fuera de la zona del cauce "
                        "que uso la corrida, nunca los que tienen un valor dado");
    const GDALDataType type = chosen_type(options);
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
    const TypeRange range = range_of(type);
    const double scale = options.unscale ? dem.units.scale : 1.0;
    const double offset = options.unscale ? dem.units.offset : 0.0;
    std::vector<double> values(pair.pixels.size());
    const auto columns = static_cast<std::size_t>(pair.columns);
    auto in_channel = [&](std::size_t k) { return !options.mask || zone.pixels[k] == options.tone; };
    for (std::size_t k = 0; k < values.size(); ++k) {
        values[k] = stored(pair.pixels[k] * scale + offset, type);
        if (in_channel(k) && !(values[k] >= range.low && values[k] <= range.high))
            throw ToolError("el valor " + value_text(values[k]) + " de la linea " + std::to_string(k / columns) +
                            ", columna " + std::to_string(k % columns) + " no cabe en pixeles " + type_name(type) +
                            ": use -ot Int32");
    }

    BandDescription band;
    band.unit = dem.units.unit;
    if (!options.unscale) {
        band.scale = dem.units.scale;
        band.offset = dem.units.offset;
    }
    if (options.mask) {
        const double nodata = stored(options.nodata.value_or(kDefaultNodata), type);
        if (!(nodata >= range.low && nodata <= range.high) || (type != GDT_Float32 && type != GDT_Float64 &&
                                                                nodata != std::trunc(nodata)))
            throw ToolError("el valor sin dato " + value_text(nodata) + " no cabe en pixeles " + type_name(type));
        std::vector<double> held;
        std::size_t first_holder = values.size();
        std::size_t outside = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (!in_channel(k)) {
                if (pair.pixels[k] != 0) ++outside;
                values[k] = nodata;
                continue;
            }
            held.push_back(values[k]);
            if (values[k] == nodata && first_holder == values.size()) first_holder = k;
        }
        if (first_holder != values.size())
            throw ToolError("el valor sin dato " + value_text(nodata) + " lo tiene un pixel del cauce (linea " +
                            std::to_string(first_holder / columns) + ", columna " +
                            std::to_string(first_holder % columns) + "); elija otro con --nodata, p. ej. " +
                            value_text(free_value(held, kDefaultNodata, range.low, range.high)));
        if (outside > 0)
            context.warnings.add(std::to_string(outside) + " pixeles de " + options.name + " fuera de la zona de " +
                                 *options.mask + " (tono " + std::to_string(options.tone) +
                                 ") no valen 0 y quedan sin dato: si es un resultado, esa no es la zona que uso "
                                 "la corrida");
        band.nodata = nodata;
    } else if (dem.units.nodata &&
               same_file(elevation_raw_path(options.name), elevation_raw_path(options.like))) {
        // The model itself: its fill is what its import declared as nodata.
        band.nodata = stored(*dem.units.nodata * scale + offset, type);
    }
    context.progress.update(0.1);

    Dataset memory = band_in_memory(grid, type, values.data(), GDT_Float64, band);
    ProgressSpan span{context.progress, 0.1, 1.0};
    write_raster(static_cast<GDALDatasetH>(memory.get()), output, options.format, span, context.warnings, &band);
    outputs.commit();
    context.progress.update(1.0);
}
