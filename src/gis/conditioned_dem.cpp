#include "gis/conditioned_dem.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "gis/elevation_band.hpp"
#include "gis/gdal_env.hpp"
#include "gis/tool_error.hpp"

namespace {

// The raw value of the band for an elevation in the model's units.
struct RawConversion {
    GDALDataType type;
    double scale;
    double offset;
    std::optional<double> nodata;

    double operator()(double elevation, std::size_t k, int32_t columns) const {
        double raw = (elevation - offset) / scale;
        bool fits = std::isfinite(raw);
        if (GDALDataTypeIsInteger(type)) {
            raw = std::round(raw);
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
};

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

void check_conditioned_type(const DemSource& dem) {
    if (GDALDataTypeIsComplex(dem.data_type()))
        throw ToolError("el MDE tiene pixeles complejos (" + type_name(dem.data_type()) +
                        "): --conditioned necesita elevaciones reales o enteras");
}

std::uint64_t conditioned_bytes_per_pixel(const DemSource& dem) {
    GDALDatasetH source = dem.dataset();
    std::uint64_t bytes = 1;  // a mask band, at most
    for (int b = 1; b <= GDALGetRasterCount(source); ++b)
        bytes += static_cast<std::uint64_t>(GDALGetDataTypeSizeBytes(GDALGetRasterDataType(GDALGetRasterBand(source, b))));
    return bytes;
}

void write_conditioned_dem(const DemSource& dem, const GeoGrid<int32_t>& channel, double unit_per_integer,
                           const OutputFile& output, const RasterFormat& format, ProgressSpan& progress,
                           Warnings& warnings) {
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

    // Holes marked by a mask band (not by the nodata value) are opened where the channel runs.
    const int flags = GDALGetMaskFlags(band);
    GDALRasterBandH mask = (flags & GMF_PER_DATASET) != 0 && (flags & (GMF_ALL_VALID | GMF_NODATA)) == 0
                               ? GDALGetMaskBand(band)
                               : nullptr;

    const BandUnits& units = dem.units();
    const RawConversion raw{dem.data_type(), units.scale, units.offset, units.nodata};
    std::vector<double> values(static_cast<std::size_t>(columns));
    const std::vector<uint8_t> valid(static_cast<std::size_t>(columns), 255);
    for (int32_t i = 0; i < lines; ++i) {
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
        channel_runs(i, channel, [&](int32_t first, int32_t end) {
            for (int32_t j = first; j < end; ++j) {
                const std::size_t k = start + static_cast<std::size_t>(j);
                const double elevation = static_cast<double>(channel.values[k]) * unit_per_integer;
                values[static_cast<std::size_t>(j - first)] = raw(elevation, k, columns);
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
}

double conditioned_raw_value(const DemSource& dem, double elevation, int32_t line, int32_t column, int32_t columns) {
    const BandUnits& units = dem.units();
    const RawConversion raw{dem.data_type(), units.scale, units.offset, units.nodata};
    return raw(elevation, static_cast<std::size_t>(line) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(column),
               columns);
}
