#include "gis/dem_source.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "gis/memory_budget.hpp"
#include "gis/tool_error.hpp"

namespace {

// The band of the model: the one chosen, or the only one. Band 1 of several
// is no safe guess (a hillshade's red, a quality band beside the heights).
int model_band(GDALDatasetH dataset, std::optional<int> chosen, const std::string& path) {
    if (chosen) return *chosen;
    const int count = GDALGetRasterCount(dataset);
    if (count > 1)
        throw ToolError(path + " tiene " + std::to_string(count) +
                        " bandas: diga cual es la del modelo de elevacion con --band B (de 1 a " +
                        std::to_string(count) + ")");
    return 1;
}

int32_t within_32_bits(double rounded, int32_t line, int32_t column) {
    if (!(rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError("el valor de la linea " + std::to_string(line) + ", columna " + std::to_string(column) +
                        " no cabe en 32 bits una vez escalado");
    return static_cast<int32_t>(rounded);
}

}  // namespace

int32_t scaled_elevation(double raw, const ExactAffine& to_integers, int32_t line, int32_t column) {
    return within_32_bits(to_integers.rounded(raw), line, column);
}

int32_t scaled_elevation(double value, double scale, int32_t line, int32_t column) {
    return within_32_bits(rounded_decimal_product(value, scale), line, column);
}

DemSource::DemSource(const std::string& path, std::optional<int> chosen_band, const WarpRequest& warp)
    : path_(path), dataset_(open_source(path, GDAL_OF_RASTER)) {
    auto* original = static_cast<GDALDatasetH>(dataset_.get());
    const int band = model_band(original, chosen_band, path);
    GDALRasterBandH own = band_of(original, band, path);
    units_ = band_units(own);
    if (units_.scale == 0.0) units_.scale = 1.0;
    data_type_ = GDALGetRasterDataType(own);
    band_number_ = band;
    if (warp.wanted()) {
        warped_ = warp_source(original, path, warp);
        warp_ = warp;
    }
    auto* reading = warped_ ? static_cast<GDALDatasetH>(warped_.get()) : original;
    band_ = band_of(reading, band, path);
    grid_ = georef_of(reading);
}

GDALDatasetH DemSource::dataset() const {
    if (!warped_) return static_cast<GDALDatasetH>(dataset_.get());
    // Warped as gdalwarp would write it, in the model's own pixel type.
    if (!warped_as_source_)
        warped_as_source_ = warp_source(static_cast<GDALDatasetH>(dataset_.get()), path_, warp_, true);
    return static_cast<GDALDatasetH>(warped_as_source_.get());
}

std::vector<std::string> DemSource::files() const {
    return dataset_files(static_cast<GDALDatasetH>(dataset_.get()));
}

ScaledDem DemSource::read(double scale, ProgressSpan& progress) const {
    require_memory(raster_bytes(grid_.lines, grid_.columns, 5), "importar " + path_);
    ScaledDem dem;
    dem.grid.georef = grid_;
    const auto count = static_cast<std::size_t>(grid_.lines) * static_cast<std::size_t>(grid_.columns);
    dem.grid.values.assign(count, 0);
    dem.grid.has_data.assign(count, 0);
    std::vector<double> values(static_cast<std::size_t>(grid_.columns));
    std::vector<uint8_t> valid(static_cast<std::size_t>(grid_.columns));
    dem.lowest = std::numeric_limits<int32_t>::max();
    std::size_t holes = 0;
    const ExactAffine to_integers = ExactAffine::to_integers(units_.scale, units_.offset, scale);
    for (int32_t i = 0; i < grid_.lines; ++i) {
        read_band_line(band_, i, values, valid, path_);
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(grid_.columns);
        for (int32_t j = 0; j < grid_.columns; ++j) {
            const auto k = static_cast<std::size_t>(j);
            if (valid[k] == 0) {
                ++holes;
                continue;
            }
            const int32_t z = scaled_elevation(values[k], to_integers, i, j);
            dem.grid.values[start + k] = z;
            dem.grid.has_data[start + k] = 1;
            dem.lowest = std::min(dem.lowest, z);
        }
        ProgressSpan::gdal_callback(static_cast<double>(i + 1) / grid_.lines, nullptr, &progress);
    }
    if (holes == count) throw ToolError(path_ + " no tiene ningun pixel con dato");
    return dem;
}

void DemSource::read_lines(double scale, const LineVisit& each, ProgressSpan& progress) const {
    constexpr int32_t kBand = 64;
    const auto columns = static_cast<std::size_t>(grid_.columns);
    std::vector<double> values(columns * kBand);
    std::vector<uint8_t> valid(columns * kBand);
    std::vector<int32_t> scaled(columns);
    const ExactAffine to_integers = ExactAffine::to_integers(units_.scale, units_.offset, scale);
    for (int32_t first = 0; first < grid_.lines; first += kBand) {
        const int32_t lines = std::min(kBand, grid_.lines - first);
        if (GDALRasterIO(band_, GF_Read, 0, first, grid_.columns, lines, values.data(), grid_.columns, lines,
                         GDT_Float64, 0, 0) != CE_None ||
            GDALRasterIO(GDALGetMaskBand(band_), GF_Read, 0, first, grid_.columns, lines, valid.data(), grid_.columns,
                         lines, GDT_Byte, 0, 0) != CE_None)
            throw ToolError("no se puede leer la linea " + std::to_string(first) + " de " + path_ + gdal_detail());
        for (int32_t a = 0; a < lines; ++a) {
            double* line = values.data() + static_cast<std::size_t>(a) * columns;
            uint8_t* flags = valid.data() + static_cast<std::size_t>(a) * columns;
            for (std::size_t j = 0; j < columns; ++j) {
                if (std::isnan(line[j])) flags[j] = 0;
                scaled[j] = flags[j] == 0 ? 0 : scaled_elevation(line[j], to_integers, first + a, static_cast<int32_t>(j));
            }
            each(first + a, scaled.data(), flags);
        }
        ProgressSpan::gdal_callback(static_cast<double>(first + lines) / grid_.lines, nullptr, &progress);
    }
}
