#include "gdal_env.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>

#include <cstdio>
#include <filesystem>

#include "tool_error.hpp"

namespace {

bool warnings_quiet = false;

void route_message(CPLErr level, CPLErrorNum, const char* text) {
    if (level == CE_Warning && !warnings_quiet) std::fprintf(stderr, "\n GDAL: %s \n", text);
}

bool is_virtual_path(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

}  // namespace

void start_gdal(bool quiet_warnings) {
    warnings_quiet = quiet_warnings;
    GDALAllRegister();
    CPLSetErrorHandler(route_message);
}

std::string gdal_detail() {
    const std::string text = CPLGetLastErrorMsg();
    CPLErrorReset();
    if (text.empty()) return "";
    return " (GDAL: " + text + ")";
}

Dataset open_source(const std::string& path, unsigned flags) {
    std::error_code ignored;
    if (!is_virtual_path(path) && !std::filesystem::exists(path, ignored))
        throw ToolError("no existe el archivo " + path);
    if (!is_virtual_path(path) && std::filesystem::is_directory(path, ignored) && (flags & GDAL_OF_VECTOR) == 0)
        throw ToolError(path + " es una carpeta, no un raster");
    CPLErrorReset();
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), flags | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (dataset == nullptr) {
        const std::string what = (flags & GDAL_OF_VECTOR) != 0 && (flags & GDAL_OF_RASTER) != 0
                                     ? "un raster ni una capa vectorial"
                                 : (flags & GDAL_OF_VECTOR) != 0 ? "una capa vectorial"
                                                                 : "un raster";
        throw ToolError("formato desconocido: " + path + " no es " + what + " que GDAL sepa leer" + gdal_detail());
    }
    return Dataset(dataset);
}

Dataset memory_raster(int columns, int lines, int bands, GDALDataType type) {
    GDALDriverH driver = GDALGetDriverByName("MEM");
    if (driver == nullptr) throw ToolError("GDAL no tiene el controlador MEM");
    GDALDatasetH dataset = GDALCreate(driver, "", columns, lines, bands, type, nullptr);
    if (dataset == nullptr) throw ToolError("no hay memoria para un raster de " + std::to_string(columns) + " x " +
                                            std::to_string(lines) + gdal_detail());
    return Dataset(dataset);
}

void write_with_driver(GDALDatasetH source, const std::string& format, const std::string& path,
                       GDALProgressFunc progress, void* progress_data) {
    GDALDriverH driver = GDALGetDriverByName(format.c_str());
    if (driver == nullptr || GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) == nullptr)
        throw ToolError("formato de salida desconocido: " + format);
    if (GDALGetMetadataItem(driver, GDAL_DCAP_CREATECOPY, nullptr) == nullptr &&
        GDALGetMetadataItem(driver, GDAL_DCAP_CREATE, nullptr) == nullptr)
        throw ToolError("GDAL no sabe escribir el formato " + format);
    std::error_code ignored;
    const bool existed = std::filesystem::exists(path, ignored);
    CPLErrorReset();
    GDALDatasetH written = GDALCreateCopy(driver, path.c_str(), source, FALSE, nullptr, progress, progress_data);
    bool failed = written == nullptr;
    if (written != nullptr) {
        GDALClose(written);
        failed = CPLGetLastErrorType() == CE_Failure;
    }
    if (failed) {
        const std::string detail = gdal_detail();
        // A file the user had is only removed when this write already replaced it.
        if (!existed || written != nullptr) GDALDeleteDataset(driver, path.c_str());
        CPLErrorReset();
        throw ToolError("no se puede escribir " + path + detail);
    }
}
