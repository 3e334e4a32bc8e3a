#include "import_dem.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "gdal_env.hpp"
#include "georef.hpp"
#include "pair_files.hpp"
#include "tool_error.hpp"

namespace {

GDALRasterBandH band_of(GDALDatasetH dataset, int band, const std::string& source) {
    const int count = GDALGetRasterCount(dataset);
    if (band < 1 || band > count)
        throw ToolError(source + " no tiene la banda " + std::to_string(band) + " (tiene " + std::to_string(count) +
                        ")");
    return GDALGetRasterBand(dataset, band);
}

// One line of values and of GDAL's validity mask (nodata, alpha or mask
// band, whichever the source uses); NaN is never valid.
void read_line(GDALRasterBandH band, int32_t line, std::vector<double>& values, std::vector<uint8_t>& valid,
               const std::string& source) {
    const int columns = static_cast<int>(values.size());
    if (GDALRasterIO(band, GF_Read, 0, line, columns, 1, values.data(), columns, 1, GDT_Float64, 0, 0) != CE_None ||
        GDALRasterIO(GDALGetMaskBand(band), GF_Read, 0, line, columns, 1, valid.data(), columns, 1, GDT_Byte, 0, 0) !=
            CE_None)
        throw ToolError("no se puede leer la linea " + std::to_string(line) + " de " + source + gdal_detail());
    for (std::size_t j = 0; j < values.size(); ++j)
        if (std::isnan(values[j])) valid[j] = 0;
}

}  // namespace

int32_t scaled_elevation(double value, double scale, int32_t line, int32_t column) {
    const double rounded = std::round(value * scale);
    if (!(rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError("el valor de la linea " + std::to_string(line) + ", columna " + std::to_string(column) +
                        " no cabe en 32 bits una vez escalado");
    return static_cast<int32_t>(rounded);
}

void import_dem(const ImportDemOptions& options, Progress& progress) {
    Dataset dataset = open_source(options.source, GDAL_OF_RASTER);
    auto* handle = static_cast<GDALDatasetH>(dataset.get());
    GDALRasterBandH band = band_of(handle, options.band, options.source);
    const Georef georef = georef_of(handle);

    ElevationPair pair;
    pair.lines = georef.lines;
    pair.columns = georef.columns;
    pair.pixel_size = pixel_size_field(georef);
    pair.pixels.assign(static_cast<std::size_t>(pair.lines) * static_cast<std::size_t>(pair.columns), 0);
    std::vector<uint8_t> valid_pixels(pair.pixels.size(), 0);

    std::vector<double> values(static_cast<std::size_t>(pair.columns));
    std::vector<uint8_t> valid(static_cast<std::size_t>(pair.columns));
    bool any_valid = false;
    int32_t lowest = std::numeric_limits<int32_t>::max();
    progress.update(0.0);
    for (int32_t i = 0; i < pair.lines; ++i) {
        read_line(band, i, values, valid, options.source);
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(pair.columns);
        for (int32_t j = 0; j < pair.columns; ++j) {
            const auto k = static_cast<std::size_t>(j);
            if (valid[k] == 0) continue;
            const int32_t z = scaled_elevation(values[k], options.scale, i, j);
            pair.pixels[start + k] = z;
            valid_pixels[start + k] = 1;
            lowest = std::min(lowest, z);
            any_valid = true;
        }
        progress.update(static_cast<double>(i + 1) / pair.lines, 0.0, 0.9);
    }
    if (!any_valid) throw ToolError(options.source + " no tiene ningun pixel con dato");

    const int32_t fill = options.nodata.value_or(lowest);
    for (std::size_t k = 0; k < pair.pixels.size(); ++k)
        if (valid_pixels[k] == 0) pair.pixels[k] = fill;

    write_elevation_pair(options.name, pair);
    write_sidecar(options.name, georef);
    progress.update(1.0);
}
