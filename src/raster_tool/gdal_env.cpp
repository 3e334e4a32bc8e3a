#include "gdal_env.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>

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
    if (!is_virtual_path(path) && std::filesystem::is_directory(path, ignored)) {
        // A folder can be a vector source (a folder of shapefiles), never a raster.
        if ((flags & GDAL_OF_VECTOR) == 0) throw ToolError(path + " es una carpeta, no un raster");
    } else if (!is_virtual_path(path) && !std::filesystem::is_regular_file(path, ignored)) {
        throw ToolError(path + " no es un archivo normal");  // a FIFO would block the reading forever
    }
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

std::vector<std::string> dataset_files(GDALDatasetH dataset) {
    std::vector<std::string> files;
    char** list = GDALGetFileList(dataset);
    for (char** f = list; f != nullptr && *f != nullptr; ++f) files.emplace_back(*f);
    CSLDestroy(list);
    return files;
}

StringList::StringList(const std::vector<std::string>& words) {
    for (const std::string& word : words) add(word);
}

StringList::~StringList() { CSLDestroy(list_); }

void StringList::add(const std::string& word) { list_ = CSLAddString(list_, word.c_str()); }

void StringList::set(const std::string& name, const std::string& value) {
    list_ = CSLSetNameValue(list_, name.c_str(), value.c_str());
}
