#include "export_pair.hpp"

#include <algorithm>
#include <regex>

#include "gdal_env.hpp"
#include "georef.hpp"
#include "pair_files.hpp"
#include "tool_error.hpp"

void export_pair(const ExportOptions& options, Progress& progress) {
    const Georef grid = read_sidecar(options.like);
    // The driver is checked before any work, so a typo costs nothing.
    GDALDriverH driver = GDALGetDriverByName(options.format.c_str());
    if (driver == nullptr || GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) == nullptr)
        throw ToolError("formato de salida desconocido: " + options.format);
    // Some drivers would quietly cut 32-bit elevations down to bytes.
    if (const char* types = GDALGetMetadataItem(driver, GDAL_DMD_CREATIONDATATYPES, nullptr);
        types != nullptr && !std::regex_search(types, std::regex("(^| )Int32( |$)")))
        throw ToolError("el formato " + options.format + " no admite pixeles enteros de 32 bits (admite: " + types +
                        ")");

    ElevationPair pair = read_elevation_pair(options.name);
    if (pair.lines != grid.lines || pair.columns != grid.columns)
        throw ToolError("el par " + options.name + " tiene " + std::to_string(pair.columns) + " columnas x " +
                        std::to_string(pair.lines) + " lineas y el MDE " + options.like + " " +
                        describe_grid(grid));
    progress.update(0.0);
    if (options.nodata) std::replace(pair.pixels.begin(), pair.pixels.end(), 0, *options.nodata);

    Dataset memory = memory_raster(pair.columns, pair.lines, 1, GDT_Int32);
    auto* handle = static_cast<GDALDatasetH>(memory.get());
    GDALRasterBandH band = GDALGetRasterBand(handle, 1);
    if (GDALRasterIO(band, GF_Write, 0, 0, pair.columns, pair.lines, pair.pixels.data(), pair.columns, pair.lines,
                     GDT_Int32, 0, 0) != CE_None)
        throw ToolError("no se puede preparar el raster en memoria" + gdal_detail());
    if (options.nodata) GDALSetRasterNoDataValue(band, *options.nodata);
    if (grid.has_transform) {
        double transform[6];
        std::copy(grid.transform.begin(), grid.transform.end(), transform);
        GDALSetGeoTransform(handle, transform);
    }
    if (!grid.crs_wkt.empty()) GDALSetProjection(handle, grid.crs_wkt.c_str());

    ProgressSpan span{progress, 0.1, 1.0};
    write_with_driver(handle, options.format, options.output, ProgressSpan::gdal_callback, &span);
    progress.update(1.0);
}
