#include "gis/conditioned_dem.hpp"

#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "gis/elevation_band.hpp"
#include "gis/exact_scaling.hpp"
#include "gis/gdal_env.hpp"
#include "gis/tool_error.hpp"
#include "hydrology/fill_along.hpp"

namespace {

// Channel pixels on line `i`, as runs [first, end) of columns.
template <typename Each>
void channel_runs(int32_t i, const GeoGrid<int32_t>& channel, Each each) {
    const int32_t columns = channel.georef.columns;
    const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
    for (int32_t j = 0; j < columns;) {
        if (!channel.holds_data(start + static_cast<std::size_t>(j))) {
            ++j;
            continue;
        }
        int32_t end = j + 1;
        while (end < columns && channel.holds_data(start + static_cast<std::size_t>(end))) ++end;
        each(j, end);
        j = end;
    }
}

}  // namespace

RawConversion RawConversion::of(const DemSource& dem, double scale) {
    const BandUnits& units = dem.units();
    return {dem.data_type(), units.scale, units.offset, units.nodata,
            ExactAffine::to_raw(scale, units.offset, units.scale)};
}

double RawConversion::operator()(double elevation, std::optional<int32_t> integer, std::size_t k,
                                 int32_t columns) const {
    double raw = (elevation - offset) / scale;
    bool fits = std::isfinite(raw);
    if (GDALDataTypeIsInteger(type)) {
        raw = integer ? to_raw.rounded(*integer) : std::round(raw);
        fits = std::isfinite(raw);
        const int bits = GDALGetDataTypeSizeBits(type);
        const bool sign = GDALDataTypeIsSigned(type) != 0;
        const double low = sign ? -std::ldexp(1.0, bits - 1) : 0.0;
        const double end = std::ldexp(1.0, sign ? bits - 1 : bits);
        fits = fits && raw >= low && raw < end;
    } else if (type == GDT_Float32) {
        fits = fits && std::fabs(raw) <= std::numeric_limits<float>::max();
        raw = stored(raw, type);
    }
    const auto width = static_cast<std::size_t>(columns);
    const std::string where =
        " (linea " + std::to_string(k / width) + ", columna " + std::to_string(k % width) + ")";
    if (!fits)
        throw ToolError("la elevacion del cauce " + elevation_text(elevation) + where + " no cabe en pixeles " +
                        type_name(type) + " del MDE (valor " + elevation_text(raw) + " con escala " +
                        elevation_text(scale) + " y desplazamiento " + elevation_text(offset) + ")");
    if (nodata && raw == stored(*nodata, type))
        throw ToolError("la elevacion del cauce " + elevation_text(elevation) + where +
                        " se guarda en el MDE condicionado como su valor sin dato " + elevation_text(*nodata) +
                        ": ese pixel quedaria sin dato; cambie el valor sin dato del MDE (gdal_translate "
                        "-a_nodata) o la escala del calculo (--scale)");
    return raw;
}

void drop_statistics(GDALRasterBandH band) {
    char** items = CSLDuplicate(GDALGetMetadata(band, nullptr));
    char** kept = nullptr;
    for (char** item = items; item != nullptr && *item != nullptr; ++item)
        if (std::string(*item).rfind("STATISTICS_", 0) != 0) kept = CSLAddString(kept, *item);
    GDALSetMetadata(band, kept, nullptr);
    CSLDestroy(kept);
    CSLDestroy(items);
}

void check_conditioned_warp(const DemSource& dem, const WarpRequest& warp) {
    int has_nodata = 0;
    GDALGetRasterNoDataValue(GDALGetRasterBand(dem.dataset(), dem.band()), &has_nodata);
    if (warp.wanted() && !has_nodata && !GDALDataTypeIsFloating(dem.data_type()))
        throw ToolError("el MDE no declara valor sin dato: con -t_srs, -tr o -r los pixeles de --conditioned que "
                        "el MDE no cubre quedarian con elevacion 0; declarelo antes (gdal_translate -a_nodata) o "
                        "reproyecte el MDE con gdalwarp -dstnodata");
}

void check_conditioned_type(const DemSource& dem) {
    if (GDALDataTypeIsComplex(dem.data_type()))
        throw ToolError("el MDE tiene pixeles complejos (" + type_name(dem.data_type()) +
                        "): --conditioned necesita elevaciones reales o enteras");
}

std::uint64_t conditioned_bytes_per_pixel(const DemSource& dem, bool draining) {
    GDALDatasetH source = dem.dataset();
    // A mask band, at most; draining, the model, the channel and the result
    // as reals, the masks and the pass's own grids and queues.
    std::uint64_t bytes = draining ? 1 + 96 : 1;
    for (int b = 1; b <= GDALGetRasterCount(source); ++b)
        bytes += static_cast<std::uint64_t>(GDALGetDataTypeSizeBytes(GDALGetRasterDataType(GDALGetRasterBand(source, b))));
    return bytes;
}

namespace {

// The values of the band the pass can set: the band's pixel type, scale and offset.
ValueLattice lattice_of(GDALDataType type, const BandUnits& units) {
    const ValueLattice::Raw raw = GDALDataTypeIsInteger(type) ? ValueLattice::Raw::integer
                                  : type == GDT_Float32       ? ValueLattice::Raw::real32
                                                              : ValueLattice::Raw::real64;
    return {raw, units.scale, units.offset};
}

// The model's band as the pass reads it, drained: a value for every channel
// pixel, in the model's units.
std::vector<double> drained_channel(GDALRasterBandH band, const DemSource& dem, const GeoGrid<int32_t>& channel,
                                    double unit_per_integer, const DrainingSources& draining, DrainageReport& report) {
    const int32_t lines = channel.georef.lines;
    const int32_t columns = channel.georef.columns;
    const BandUnits& units = dem.units();
    Raster<double> terrain(lines, columns), burned(lines, columns);
    Raster<uint8_t> valid(lines, columns), zone(lines, columns), river(lines, columns), lakes;
    std::vector<double> values(static_cast<std::size_t>(columns));
    std::vector<uint8_t> line_valid(static_cast<std::size_t>(columns));
    double lowest = std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i < lines; ++i) {
        read_band_line(band, i, values, line_valid, "el MDE");
        for (int32_t j = 0; j < columns; ++j) {
            const std::size_t k = terrain.index(i, j);
            valid[k] = line_valid[static_cast<std::size_t>(j)] != 0;
            terrain[k] = values[static_cast<std::size_t>(j)] * units.scale + units.offset;
            if (valid[k]) lowest = std::min(lowest, terrain[k]);
        }
    }
    std::vector<uint8_t> boundary(terrain.size(), 0);
    if (draining.lakes != nullptr) lakes = Raster<uint8_t>(lines, columns);
    for (std::size_t k = 0; k < terrain.size(); ++k) {
        if (!valid[k]) terrain[k] = lowest;
        zone[k] = channel.holds_data(k);
        burned[k] = static_cast<double>(channel.values[k]) * unit_per_integer;
        river[k] = draining.banks.values[k] != 0;
        if (draining.lakes != nullptr) lakes[k] = draining.lakes->values[k] != 0;
        boundary[k] = river[k] != 0 || marked(lakes, k);
    }
    fill_along_lines(lines, columns, terrain.values, valid.values, boundary);
    DrainageParameters parameters;
    parameters.railing_height = draining.railing_height;
    parameters.lattice = lattice_of(dem.data_type(), units);
    return drained_dem({terrain, valid, burned, zone, river, lakes}, parameters, report).values;
}

}  // namespace

std::optional<DrainageReport> write_conditioned_dem(const DemSource& dem, const GeoGrid<int32_t>& channel,
                                                    double scale, const DrainingSources* draining,
                                                    const OutputFile& output, const RasterFormat& format,
                                                    ProgressSpan& progress, Warnings& warnings) {
    ProgressSpan copying{progress.progress, progress.from, progress.from + (progress.to - progress.from) * 0.3};
    CPLErrorReset();
    Dataset copy(GDALCreateCopy(memory_driver(), "", dem.dataset(), FALSE, nullptr, ProgressSpan::gdal_callback,
                                &copying));
    if (!copy) throw ToolError("no se puede copiar el MDE en memoria" + gdal_detail());
    auto* handle = static_cast<GDALDatasetH>(copy.get());
    const int32_t lines = GDALGetRasterYSize(handle);
    const int32_t columns = GDALGetRasterXSize(handle);
    // GDAL's copy leaves the unit types behind.
    for (int b = 1; b <= GDALGetRasterCount(handle); ++b) {
        const char* unit = GDALGetRasterUnitType(GDALGetRasterBand(dem.dataset(), b));
        if (unit != nullptr && *unit != '\0') GDALSetRasterUnitType(GDALGetRasterBand(handle, b), unit);
    }
    GDALRasterBandH band = GDALGetRasterBand(handle, dem.band());
    drop_statistics(band);

    // Holes marked by a mask band (not by the nodata value) are opened where the channel runs.
    const int flags = GDALGetMaskFlags(band);
    GDALRasterBandH mask = (flags & GMF_PER_DATASET) != 0 && (flags & (GMF_ALL_VALID | GMF_NODATA)) == 0
                               ? GDALGetMaskBand(band)
                               : nullptr;

    const BandUnits& units = dem.units();
    const RawConversion raw = RawConversion::of(dem, scale);
    const double unit_per_integer = 1.0 / scale;
    std::optional<DrainageReport> report;
    std::vector<double> drained;
    if (draining != nullptr) {
        report.emplace();
        drained = drained_channel(band, dem, channel, unit_per_integer, *draining, *report);
    }
    std::vector<double> values(static_cast<std::size_t>(columns));
    const std::vector<uint8_t> valid(static_cast<std::size_t>(columns), 255);
    for (int32_t i = 0; i < lines; ++i) {
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
        channel_runs(i, channel, [&](int32_t first, int32_t end) {
            for (int32_t j = first; j < end; ++j) {
                const std::size_t k = start + static_cast<std::size_t>(j);
                // A burned elevation is the computation's integer, rounded
                // exactly; a drained one a value of the band already.
                const double elevation =
                    draining != nullptr ? drained[k] : static_cast<double>(channel.values[k]) * unit_per_integer;
                values[static_cast<std::size_t>(j - first)] =
                    raw(elevation, draining != nullptr ? std::nullopt : std::optional<int32_t>(channel.values[k]), k,
                        columns);
            }
            CPLErrorReset();
            if (GDALRasterIO(band, GF_Write, first, i, end - first, 1, values.data(), end - first, 1, GDT_Float64, 0,
                             0) != CE_None ||
                (mask != nullptr &&
                 GDALRasterIO(mask, GF_Write, first, i, end - first, 1, const_cast<uint8_t*>(valid.data()),
                              end - first, 1, GDT_Byte, 0, 0) != CE_None))
                throw ToolError("no se puede poner el cauce en la copia del MDE" + gdal_detail());
        });
    }

    ProgressSpan writing{progress.progress, copying.to, progress.to};
    write_raster(handle, output, format, writing, warnings, &units);
    return report;
}

