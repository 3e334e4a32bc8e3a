#include "gis/export_pair.hpp"

#include <sys/stat.h>

#include <cpl_vsi.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "gis/elevation_band.hpp"
#include "gis/free_value.hpp"
#include "files/raster_pair.hpp"
#include "files/regular_file.hpp"
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

// One line of the pair and of its zone, read in turn from their raw files.
class PairLines {
public:
    PairLines(const ExportOptions& options, const Georef& grid) : options_(options) {
        read_pair_size(options.name, true, lines_, columns_);
        if (lines_ != grid.lines || columns_ != grid.columns)
            throw ToolError("el par " + options.name + " tiene " + std::to_string(columns_) + " columnas x " +
                            std::to_string(lines_) + " lineas y el MDE " + options.like + " " + describe_grid(grid));
        pair_.lines = lines_;
        pair_.columns = columns_;
        if (options.mask) {
            MaskPair zone;
            read_pair_size(*options.mask, false, zone.lines, zone.columns);
            require_same_size(zone, *options.mask, pair_, options.name);
        }
        values_.resize(static_cast<std::size_t>(columns_));
        zone_.assign(static_cast<std::size_t>(columns_), 1);
        restart();
    }
    void restart() {
        raw_.reset(std::fopen(elevation_raw_path(options_.name).c_str(), "rb"));
        if (!raw_) throw ToolError("no existe o no se puede leer el archivo " + elevation_raw_path(options_.name));
        if (!options_.mask) return;
        mask_.reset(std::fopen(mask_raw_path(*options_.mask).c_str(), "rb"));
        if (!mask_) throw ToolError("no existe o no se puede leer el archivo " + mask_raw_path(*options_.mask));
    }
    // The next line: its values, and 1 where a pixel is in the zone (every pixel without a zone).
    void next() {
        if (read_elevation_line(raw_.get(), values_.data(), columns_) != values_.size() * 4)
            throw ToolError("no se puede leer " + elevation_raw_path(options_.name));
        if (!options_.mask) return;
        if (read_mask_line(mask_.get(), zone_.data(), columns_) != zone_.size())
            throw ToolError("no se puede leer " + mask_raw_path(*options_.mask));
        for (uint8_t& pixel : zone_) pixel = pixel == options_.tone ? 1 : 0;
    }
    int32_t lines() const { return lines_; }
    int32_t columns() const { return columns_; }
    const std::vector<int32_t>& values() const { return values_; }
    const std::vector<uint8_t>& zone() const { return zone_; }

private:
    const ExportOptions& options_;
    int32_t lines_ = 0, columns_ = 0;
    ElevationPair pair_;
    File raw_, mask_;
    std::vector<int32_t> values_;
    std::vector<uint8_t> zone_;
};

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

    // Two passes a line at a time, never the whole raster: the checks, then
    // a tiled GeoTIFF written line by line, copied into the format.
    PairLines lines(options, dem.grid);
    const double scale = options.unscale ? dem.units.scale : 1.0;
    const double offset = options.unscale ? dem.units.offset : 0.0;
    const TypeRange range = range_of(type);
    BandUnits units;
    units.unit = dem.units.unit;
    if (!options.unscale) {
        units.scale = dem.units.scale;
        units.offset = dem.units.offset;
    }
    std::optional<double> nodata;
    if (options.mask) {
        nodata = stored(options.nodata.value_or(kDefaultNodata), type);
    } else if (dem.units.nodata && same_file(elevation_raw_path(options.name), elevation_raw_path(options.like))) {
        nodata = stored(*dem.units.nodata * scale + offset, type);  // the model itself, its fill declared
    }
    context.progress.update(0.0);
    bool toned = !options.mask;
    std::size_t outside = 0;
    std::optional<std::pair<int64_t, double>> too_large, holder;
    double low = 0.0, high = 0.0;
    bool any = false;
    const int64_t columns = lines.columns();
    for (int32_t i = 0; i < lines.lines(); ++i) {
        lines.next();
        for (int64_t j = 0; j < columns; ++j) {
            const auto k = static_cast<std::size_t>(j);
            const double value = stored(lines.values()[k] * scale + offset, type);
            if (lines.zone()[k] != 1) {
                outside += lines.values()[k] != 0;
                continue;
            }
            toned = true;
            if (!(value >= range.low && value <= range.high) && !too_large) too_large = {{i * columns + j, value}};
            if (options.mask && value == *nodata && !holder) holder = {{i * columns + j, value}};
            low = any ? std::min(low, value) : value;
            high = any ? std::max(high, value) : value;
            any = true;
        }
    }
    if (!toned)
        throw ToolError("ningun pixel de la mascara " + *options.mask + " tiene el tono " + std::to_string(options.tone));
    if (too_large)
        throw ToolError("el valor " + elevation_text(too_large->second) + " de la linea " +
                        std::to_string(too_large->first / columns) + ", columna " +
                        std::to_string(too_large->first % columns) + " no cabe en pixeles " + type_name(type) +
                        ": use -ot Int32");
    if (options.mask) {
        const bool integer = type != GDT_Float32 && type != GDT_Float64;
        if (!(*nodata >= range.low && *nodata <= range.high) || (integer && *nodata != std::trunc(*nodata)))
            throw ToolError("el valor sin dato " + elevation_text(*nodata) + " no cabe en pixeles " + type_name(type));
        if (holder)
            throw ToolError("el valor sin dato " + elevation_text(*nodata) + " lo tiene un pixel del cauce (linea " +
                            std::to_string(holder->first / columns) + ", columna " +
                            std::to_string(holder->first % columns) + "); elija otro con --nodata, p. ej. " +
                            elevation_text(free_value({low, high}, kDefaultNodata, range.low, range.high)));
        units.nodata = nodata;
        if (outside > 0)
            context.warnings.add(std::to_string(outside) + " pixeles de " + options.name + " fuera de la zona de " +
                                 *options.mask + " (tono " + std::to_string(options.tone) +
                                 ") no valen 0 y quedan sin dato: si es un resultado, esa no es la zona que uso la corrida");
    } else {
        units.nodata = nodata;
    }
    context.progress.update(0.1);

    const std::string tiled = output.temporary + ".teselas.tif";
    struct Removal {
        const std::string& path;
        ~Removal() { VSIUnlink(path.c_str()); }
    } removal{tiled};
    {
        StringList creation(std::vector<std::string>{"TILED=YES", "BIGTIFF=IF_SAFER"});
        GDALDriverH gtiff = GDALGetDriverByName("GTiff");
        CPLErrorReset();
        Dataset written(gtiff == nullptr ? nullptr
                                         : GDALCreate(gtiff, tiled.c_str(), lines.columns(), lines.lines(), 1, type,
                                                      creation.get()));
        if (!written) throw ToolError("no se puede escribir " + output.target + gdal_detail());
        auto* handle = static_cast<GDALDatasetH>(written.get());
        GDALRasterBandH band = GDALGetRasterBand(handle, 1);
        if (units.nodata) GDALSetRasterNoDataValue(band, *units.nodata);
        if (units.scale != 1.0 || units.offset != 0.0) {
            GDALSetRasterScale(band, units.scale);
            GDALSetRasterOffset(band, units.offset);
        }
        if (!units.unit.empty()) GDALSetRasterUnitType(band, units.unit.c_str());
        set_transform(handle, dem.grid);
        if (!dem.grid.crs_wkt.empty()) GDALSetProjection(handle, dem.grid.crs_wkt.c_str());
        lines.restart();
        std::vector<double> line(static_cast<std::size_t>(columns));
        for (int32_t i = 0; i < lines.lines(); ++i) {
            lines.next();
            for (std::size_t k = 0; k < line.size(); ++k)
                line[k] = lines.zone()[k] == 1 ? stored(lines.values()[k] * scale + offset, type) : *units.nodata;
            if (GDALRasterIO(band, GF_Write, 0, i, lines.columns(), 1, line.data(), lines.columns(), 1, GDT_Float64,
                             0, 0) != CE_None)
                throw ToolError("no se puede escribir " + output.target + gdal_detail());
            context.progress.update(0.1 + 0.3 * (i + 1) / lines.lines());
        }
    }
    Dataset source(GDALOpen(tiled.c_str(), GA_ReadOnly));
    if (!source) throw ToolError("no se puede leer " + tiled + gdal_detail());
    ProgressSpan span{context.progress, 0.4, 1.0};
    write_raster(static_cast<GDALDatasetH>(source.get()), output, options.format, span, context.warnings, &units);
    source.reset();
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
