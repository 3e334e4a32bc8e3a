#include "gis/gdal_env.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/regular_file.hpp"
#include "gis/memory_budget.hpp"
#include "gis/tool_error.hpp"

namespace {

bool warnings_quiet = false;
ProgressLine* message_line = nullptr;
bool out_of_memory = false;

// GDAL's messages: warnings in the command's form, debug messages (--config
// CPL_DEBUG ON) as GDAL prints them, errors kept for the command's own
// message (gdal_detail). No memory is taken here: GDAL calls it when out of
// memory too.
void route_message(CPLErr level, CPLErrorNum number, const char* text) {
    if (number == CPLE_OutOfMemory) out_of_memory = true;
    const bool warning = level == CE_Warning && !warnings_quiet;
    if (!warning && level != CE_Debug) return;
    if (message_line != nullptr) message_line->interrupt();
    if (warning)
        std::fprintf(stderr, "\n GDAL: %s \n", text);
    else
        std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

bool is_virtual_path(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

// GDAL opens the files beside a source that share its name (X.aux.xml,
// X.ovr, X-wal, the X.hdr of an X) as it finds them, with a blocking open:
// one that is a FIFO or a device would stop the command forever.
void refuse_special_companions(const std::string& path) {
    const std::filesystem::path source(path);
    const std::filesystem::path folder = source.has_parent_path() ? source.parent_path() : ".";
    const std::string name = source.filename().string();
    const std::string stem = source.stem().string() + ".";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string other = entry->path().filename().string();
        if (other == name || (other.rfind(name, 0) != 0 && other.rfind(stem, 0) != 0)) continue;
        std::error_code ignored;
        const auto type = entry->status(ignored).type();
        if (type == std::filesystem::file_type::fifo || type == std::filesystem::file_type::character ||
            type == std::filesystem::file_type::block || type == std::filesystem::file_type::socket)
            throw ToolError(entry->path().string() + ", junto a " + path +
                            ", no es un archivo normal: GDAL lo abriria y la orden se quedaria esperando");
    }
}

// The source opened as this program opens its inputs (regular, never
// blocking) and its first bytes read: what the system says when it cannot
// be read is the message, not "unknown format".
void probe_source(const std::string& path) {
    File file;
    errno = 0;
    switch (open_regular_input(path, "rb", file)) {
        case InputOpen::ok:
            break;
        case InputOpen::not_regular:
            throw ToolError(path + " no es un archivo normal");  // a FIFO would block the reading forever
        case InputOpen::missing:
            throw ToolError("no existe el archivo " + path);
        case InputOpen::denied:
        case InputOpen::failed:
            throw ToolError("no se puede abrir " + path + ": " + std::strerror(errno));
    }
    char bytes[1024];
    errno = 0;
    if (::read(fileno(file.get()), bytes, sizeof bytes) < 0)
        throw ToolError("no se puede leer " + path + ": " + std::strerror(errno));
}

}  // namespace

void start_gdal(bool quiet_warnings, ProgressLine* line) {
    warnings_quiet = quiet_warnings;
    message_line = line;
    CPLSetErrorHandler(route_message);
    // Registering the drivers takes a few MiB that GDAL could only abort without.
    require_memory(kGdalStartBytes, "iniciar GDAL");
    GDALAllRegister();
}

void forget_progress_line(const ProgressLine* line) {
    if (message_line == line) message_line = nullptr;
}

void prepare_gdal_memory(const std::string& what) {
    require_memory(kGdalWorkBytes, what);
    // GDAL's block cache is 5 % of the machine's memory by default; a
    // process limited to less would abort inside GDAL when it filled it.
    const std::uint64_t cache = available_memory() / 4;
    if (cache < static_cast<std::uint64_t>(GDALGetCacheMax64())) GDALSetCacheMax64(static_cast<GIntBig>(cache));
}

bool gdal_ran_out_of_memory() { return out_of_memory; }

void check_source_file(const std::string& path) {
    probe_source(path);
    refuse_special_companions(path);
}

std::string gdal_detail() {
    const std::string text = CPLGetLastErrorMsg();
    CPLErrorReset();
    if (text.empty()) return "";
    return " (GDAL: " + text + ")";
}

std::string gdal_write_detail() {
    const int error = errno;
    std::string text = gdal_detail();
    if (error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO) text += std::string(": ") + std::strerror(error);
    return text;
}

Dataset open_source(const std::string& path, unsigned flags) {
    std::error_code ignored;
    if (!is_virtual_path(path)) {
        if (!std::filesystem::exists(path, ignored)) throw ToolError("no existe el archivo " + path);
        if (std::filesystem::is_directory(path, ignored)) {
            // A folder can be a vector source (a folder of shapefiles), never a raster.
            if ((flags & GDAL_OF_VECTOR) == 0) throw ToolError(path + " es una carpeta, no un raster");
        } else {
            probe_source(path);
        }
        refuse_special_companions(path);
    }
    prepare_gdal_memory("abrir " + path);
    CPLErrorReset();
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), flags | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (dataset == nullptr) {
        if (CPLGetLastErrorNo() == CPLE_OutOfMemory)
            throw ToolError("no hay memoria para abrir " + path + gdal_detail());
        if (CPLGetLastErrorNo() == CPLE_FileIO || CPLGetLastErrorNo() == CPLE_OpenFailed)
            throw ToolError("no se puede leer " + path + gdal_detail());
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
