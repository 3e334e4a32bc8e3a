#include "gis/raster_writer.hpp"

#include <cpl_error.h>
#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "gis/number_text.hpp"
#include "gis/tool_error.hpp"

namespace {

bool listed(const char* words, const std::string& word) {
    if (words == nullptr) return true;  // the driver does not say: let it try
    std::istringstream in(words);
    std::string each;
    while (in >> each)
        if (each == word) return true;
    return false;
}

bool same_value(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
}

}  // namespace

std::string type_name(GDALDataType type) { return GDALGetDataTypeName(type); }

void check_output_format(const RasterFormat& format, GDALDataType type) {
    const std::string& name = format.driver;
    GDALDriverH driver = GDALGetDriverByName(name.c_str());
    if (driver == nullptr || GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) == nullptr)
        throw ToolError("formato de salida desconocido: " + name);
    const std::string short_name = GDALGetDriverShortName(driver);
    if (short_name == "MEM") throw ToolError("el formato MEM no escribe ningun archivo (guarda el raster en memoria)");
    if (short_name == "VRT")
        throw ToolError("el formato VRT no guarda los pixeles, solo remite a otros rasters: escriba un GeoTIFF "
                        "(y, si quiere un VRT, hagalo sobre el con gdalbuildvrt)");
    if (GDALGetMetadataItem(driver, GDAL_DCAP_CREATECOPY, nullptr) == nullptr &&
        GDALGetMetadataItem(driver, GDAL_DCAP_CREATE, nullptr) == nullptr)
        throw ToolError("GDAL no sabe escribir el formato " + name);
    // Some drivers would quietly cut 32-bit elevations down to bytes.
    if (const char* types = GDALGetMetadataItem(driver, GDAL_DMD_CREATIONDATATYPES, nullptr);
        !listed(types, type_name(type)))
        throw ToolError("el formato " + name + " no admite pixeles " + type_name(type) + " (admite: " + types + ")");
    for (const std::string& option : format.creation_options)
        if (option.find('=') == std::string::npos || option.front() == '=')
            throw ToolError("opcion de creacion no valida (se espera NOMBRE=VALOR): " + option);
    StringList options(format.creation_options);
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
    const bool valid = GDALValidateCreationOptions(driver, options.get()) != 0;
    const std::string detail = gdal_detail();
    CPLPopErrorHandler();
    if (!valid) throw ToolError("opciones de creacion (-co) no validas para el formato " + name + detail);
}

Dataset band_in_memory(const Georef& grid, GDALDataType type, const void* pixels, GDALDataType pixel_type,
                       const BandUnits& band) {
    Dataset memory = memory_raster(grid.columns, grid.lines, 1, type);
    auto* handle = static_cast<GDALDatasetH>(memory.get());
    GDALRasterBandH out = GDALGetRasterBand(handle, 1);
    if (GDALRasterIO(out, GF_Write, 0, 0, grid.columns, grid.lines, const_cast<void*>(pixels), grid.columns,
                     grid.lines, pixel_type, 0, 0) != CE_None)
        throw ToolError("no se puede preparar el raster en memoria" + gdal_detail());
    if (band.nodata) GDALSetRasterNoDataValue(out, *band.nodata);
    if (band.scale != 1.0 || band.offset != 0.0) {
        GDALSetRasterScale(out, band.scale);
        GDALSetRasterOffset(out, band.offset);
    }
    if (!band.unit.empty()) GDALSetRasterUnitType(out, band.unit.c_str());
    set_transform(handle, grid);
    if (!grid.crs_wkt.empty()) GDALSetProjection(handle, grid.crs_wkt.c_str());
    return memory;
}

void write_raster(GDALDatasetH source, const OutputFile& output, const RasterFormat& format, ProgressSpan& progress,
                  Warnings& warnings, const BandUnits* band) {
    GDALDriverH driver = GDALGetDriverByName(format.driver.c_str());
    if (driver == nullptr) throw ToolError("formato de salida desconocido: " + format.driver);
    StringList options(format.creation_options);
    prepare_gdal_memory("escribir " + output.target);
    CPLErrorReset();
    GDALDatasetH written = GDALCreateCopy(driver, output.temporary.c_str(), source, FALSE, options.get(),
                                          ProgressSpan::gdal_callback, &progress);
    bool failed = written == nullptr;
    if (written != nullptr) {
        GDALClose(written);
        failed = CPLGetLastErrorType() == CE_Failure;
    }
    if (failed) throw ToolError("no se puede escribir " + output.target + gdal_detail());
    if (band == nullptr) return;

    // What a program reading the file will see.
    Dataset back(GDALOpen(output.temporary.c_str(), GA_ReadOnly));
    if (!back) throw ToolError("no se puede leer lo escrito en " + output.target + gdal_detail());
    const BandUnits got = band_units(GDALGetRasterBand(static_cast<GDALDatasetH>(back.get()), 1));
    if (band->nodata && !(got.nodata && same_value(*got.nodata, *band->nodata)))
        throw ToolError("el formato " + format.driver + " no guarda el valor sin dato " +
                        number_text(*band->nodata, 15) + ": elija otro formato (-of GTiff)");
    if (!same_value(got.scale, band->scale) || !same_value(got.offset, band->offset))
        throw ToolError("el formato " + format.driver + " no guarda la escala " + number_text(band->scale, 15) +
                        " ni el desplazamiento " + number_text(band->offset, 15) +
                        " de la banda: use --unscale o elija otro formato (-of GTiff)");
    if (!band->unit.empty() && band->unit != got.unit)
        warnings.add("el formato " + format.driver + " no guarda la unidad de la banda (" + band->unit + ") en " +
                     output.target);
}
