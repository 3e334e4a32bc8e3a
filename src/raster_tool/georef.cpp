#include "georef.hpp"

#include <cpl_string.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "gdal_env.hpp"
#include "pair_files.hpp"
#include "tool_error.hpp"

namespace {

std::string number_text(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

bool same_crs(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty() || a == b) return true;
    OGRSpatialReferenceH first = OSRNewSpatialReference(a.c_str());
    OGRSpatialReferenceH second = OSRNewSpatialReference(b.c_str());
    const bool same = first != nullptr && second != nullptr && OSRIsSame(first, second) != 0;
    OSRDestroySpatialReference(first);
    OSRDestroySpatialReference(second);
    return same;
}

}  // namespace

Georef georef_of(GDALDatasetH dataset) {
    Georef georef;
    georef.lines = GDALGetRasterYSize(dataset);
    georef.columns = GDALGetRasterXSize(dataset);
    double transform[6];
    if (GDALGetGeoTransform(dataset, transform) == CE_None) {
        georef.has_transform = true;
        for (int k = 0; k < 6; ++k) georef.transform[static_cast<std::size_t>(k)] = transform[k];
    }
    CPLErrorReset();  // a raster without geotransform is no error here
    const char* wkt = GDALGetProjectionRef(dataset);
    if (wkt != nullptr) georef.crs_wkt = wkt;
    return georef;
}

std::string sidecar_path(const std::string& dem_name) { return dem_name + "_m4.vrt"; }

void write_sidecar(const std::string& dem_name, const Georef& georef) {
    const std::string path = sidecar_path(dem_name);
    GDALDriverH driver = GDALGetDriverByName("VRT");
    if (driver == nullptr) throw ToolError("GDAL no tiene el controlador VRT");
    GDALDatasetH dataset = GDALCreate(driver, path.c_str(), georef.columns, georef.lines, 0, GDT_Unknown, nullptr);
    if (dataset == nullptr) throw ToolError("no se puede escribir " + path + gdal_detail());
    Dataset guard(dataset);

    // The raw file is named relative to the sidecar so the folder can move.
    const std::string raw_name = std::filesystem::path(elevation_raw_path(dem_name)).filename().string();
    char** options = nullptr;
    options = CSLSetNameValue(options, "subclass", "VRTRawRasterBand");
    options = CSLSetNameValue(options, "SourceFilename", raw_name.c_str());
    options = CSLSetNameValue(options, "relativeToVRT", "1");
    options = CSLSetNameValue(options, "ImageOffset", "0");
    options = CSLSetNameValue(options, "PixelOffset", "4");
    options = CSLSetNameValue(options, "LineOffset", std::to_string(4LL * georef.columns).c_str());
    options = CSLSetNameValue(options, "ByteOrder", "LSB");
    const CPLErr added = GDALAddBand(dataset, GDT_Int32, options);
    CSLDestroy(options);
    if (added != CE_None) throw ToolError("no se puede escribir " + path + gdal_detail());
    if (georef.has_transform) {
        double transform[6];
        for (int k = 0; k < 6; ++k) transform[k] = georef.transform[static_cast<std::size_t>(k)];
        GDALSetGeoTransform(dataset, transform);
    }
    if (!georef.crs_wkt.empty()) GDALSetProjection(dataset, georef.crs_wkt.c_str());
    CPLErrorReset();
    guard.reset();  // the VRT driver writes the file when the dataset closes
    if (CPLGetLastErrorType() == CE_Failure || !std::filesystem::exists(path))
        throw ToolError("no se puede escribir " + path + gdal_detail());
}

Georef read_sidecar(const std::string& dem_name) {
    const std::string path = sidecar_path(dem_name);
    if (!std::filesystem::exists(path))
        throw ToolError("falta " + path + ", la georreferencia de " + dem_name +
                        " (se crea con lorvantide-raster import-dem)");
    int32_t lines = 0;
    int32_t columns = 0;
    read_pair_size(dem_name, true, lines, columns);
    CPLErrorReset();
    Dataset dataset(GDALOpen(path.c_str(), GA_ReadOnly));
    if (!dataset) throw ToolError("no se puede leer la georreferencia " + path + gdal_detail());
    const Georef georef = georef_of(static_cast<GDALDatasetH>(dataset.get()));
    if (georef.lines != lines || georef.columns != columns)
        throw ToolError("la georreferencia " + path + " no corresponde al tamano del par " + dem_name);
    return georef;
}

bool same_grid(const Georef& a, const Georef& b) {
    if (a.lines != b.lines || a.columns != b.columns || a.has_transform != b.has_transform) return false;
    if (a.has_transform) {
        const double pixel = std::max(std::fabs(a.transform[1]) + std::fabs(a.transform[2]),
                                      std::fabs(a.transform[4]) + std::fabs(a.transform[5]));
        const double tolerance = 1e-6 * pixel;
        for (std::size_t k = 0; k < 6; ++k)
            if (!(std::fabs(a.transform[k] - b.transform[k]) <= tolerance)) return false;
    }
    return same_crs(a.crs_wkt, b.crs_wkt);
}

std::string describe_grid(const Georef& georef) {
    std::string text = std::to_string(georef.columns) + " columnas x " + std::to_string(georef.lines) + " lineas";
    if (georef.has_transform)
        text += ", origen (" + number_text(georef.transform[0]) + ", " + number_text(georef.transform[3]) +
                "), pixel " + number_text(georef.transform[1]) + " x " + number_text(georef.transform[5]);
    else
        text += ", sin geotransformacion";
    return text;
}

int32_t pixel_size_field(const Georef& georef) {
    if (!georef.has_transform) return 1;
    const double width = std::round(std::hypot(georef.transform[1], georef.transform[4]));
    if (!(width <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError("tamano de pixel imposible en la geotransformacion");
    return static_cast<int32_t>(width);
}
