#include "gis/gdal_env.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "gis/tool_error.hpp"

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

GDALRasterBandH band_of(GDALDatasetH dataset, int band, const std::string& source) {
    const int count = GDALGetRasterCount(dataset);
    if (band < 1 || band > count)
        throw ToolError(source + " no tiene la banda " + std::to_string(band) + " (tiene " + std::to_string(count) +
                        ")");
    return GDALGetRasterBand(dataset, band);
}

void read_band_line(GDALRasterBandH band, int line, std::vector<double>& values, std::vector<uint8_t>& valid,
                    const std::string& source) {
    const int columns = static_cast<int>(values.size());
    if (GDALRasterIO(band, GF_Read, 0, line, columns, 1, values.data(), columns, 1, GDT_Float64, 0, 0) != CE_None ||
        GDALRasterIO(GDALGetMaskBand(band), GF_Read, 0, line, columns, 1, valid.data(), columns, 1, GDT_Byte, 0, 0) !=
            CE_None)
        throw ToolError("no se puede leer la linea " + std::to_string(line) + " de " + source + gdal_detail());
    for (std::size_t j = 0; j < values.size(); ++j)
        if (std::isnan(values[j])) valid[j] = 0;
}

GDALDriverH memory_driver() {
    GDALDriverH driver = GDALGetDriverByName("MEM");
    if (driver == nullptr) throw ToolError("GDAL no tiene el controlador MEM");
    return driver;
}

Dataset memory_raster(int columns, int lines, int bands, GDALDataType type) {
    GDALDatasetH dataset = GDALCreate(memory_driver(), "", columns, lines, bands, type, nullptr);
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
