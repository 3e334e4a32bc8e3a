#include "gis/dem_processing.hpp"

#include <cpl_vsi.h>
#include <gdal_utils.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "gis/gdal_env.hpp"
#include "gis/number_text.hpp"
#include "gis/tool_error.hpp"

namespace {

constexpr Rgb kRamp[] = {{30, 70, 200}, {0, 170, 210}, {50, 170, 60}, {235, 210, 40}, {210, 50, 30}};

// Runs one gdaldem processing into memory.
Dataset processed(GDALDatasetH source, const char* processing, const std::vector<std::string>& words,
                  const std::string& colour_file = "") {
    StringList argv(words);
    argv.add("-of");
    argv.add("MEM");
    GDALDEMProcessingOptions* options = GDALDEMProcessingOptionsNew(argv.get(), nullptr);
    if (options == nullptr) throw ToolError(std::string("opciones de gdaldem ") + processing + " no validas" + gdal_detail());
    int usage_error = FALSE;
    CPLErrorReset();
    GDALDatasetH done = GDALDEMProcessing("", source, processing, colour_file.empty() ? nullptr : colour_file.c_str(),
                                          options, &usage_error);
    GDALDEMProcessingOptionsFree(options);
    if (done == nullptr || usage_error)
        throw ToolError(std::string("GDAL no puede hacer el ") + processing + gdal_detail());
    return Dataset(done);
}

}  // namespace

std::vector<uint8_t> hillshade(const ElevationPair& relief, double z_factor) {
    Dataset memory = memory_raster(relief.columns, relief.lines, 1, GDT_Int32);
    auto* handle = static_cast<GDALDatasetH>(memory.get());
    const double pixel = relief.pixel_size > 0 ? relief.pixel_size : 1.0;
    double transform[6] = {0.0, pixel, 0.0, 0.0, 0.0, -pixel};
    GDALSetGeoTransform(handle, transform);
    if (GDALRasterIO(GDALGetRasterBand(handle, 1), GF_Write, 0, 0, relief.columns, relief.lines,
                     const_cast<int32_t*>(relief.pixels.data()), relief.columns, relief.lines, GDT_Int32, 0,
                     0) != CE_None)
        throw ToolError("no se puede preparar el relieve en memoria" + gdal_detail());
    Dataset shade = processed(handle, "hillshade",
                              {"-z", number_text(z_factor), "-az", "315", "-alt", "45", "-compute_edges"});
    std::vector<uint8_t> bytes(relief.pixels.size());
    if (GDALRasterIO(GDALGetRasterBand(static_cast<GDALDatasetH>(shade.get()), 1), GF_Read, 0, 0, relief.columns,
                     relief.lines, bytes.data(), relief.columns, relief.lines, GDT_Byte, 0, 0) != CE_None)
        throw ToolError("no se puede leer el sombreado" + gdal_detail());
    return bytes;
}

std::vector<Rgb> colour_relief(std::vector<double> values, const std::vector<uint8_t>& with_colour, int columns,
                               int lines, double low, double high) {
    Dataset memory = memory_raster(columns, lines, 1, GDT_Float64);
    auto* handle = static_cast<GDALDatasetH>(memory.get());
    GDALRasterBandH band = GDALGetRasterBand(handle, 1);
    // gdaldem leaves the band's nodata value without colour: NaN, which no elevation is.
    constexpr double kNoColour = std::numeric_limits<double>::quiet_NaN();
    GDALSetRasterNoDataValue(band, kNoColour);
    for (std::size_t k = 0; k < with_colour.size(); ++k)
        if (with_colour[k] == 0) values[k] = kNoColour;
    if (GDALRasterIO(band, GF_Write, 0, 0, columns, lines, values.data(), columns, lines, GDT_Float64, 0, 0) != CE_None)
        throw ToolError("no se pueden preparar las elevaciones en memoria" + gdal_detail());

    // The ramp as gdaldem's colour file, in GDAL's memory file system.
    if (!(high > low)) high = low + 1.0;
    std::string text = "nv 0 0 0\n";
    constexpr int last = static_cast<int>(std::size(kRamp)) - 1;
    for (int k = 0; k <= last; ++k)
        text += number_text(low + (high - low) * k / last) + " " + std::to_string(kRamp[k].r) + " " +
                std::to_string(kRamp[k].g) + " " + std::to_string(kRamp[k].b) + "\n";
    char name[64];
    std::snprintf(name, sizeof name, "/vsimem/lorvantide-ramp-%p.txt", static_cast<void*>(&memory));
    VSILFILE* file = VSIFileFromMemBuffer(name, reinterpret_cast<GByte*>(text.data()),
                                          static_cast<vsi_l_offset>(text.size()), FALSE);
    if (file == nullptr) throw ToolError("no se puede preparar la rampa de colores" + gdal_detail());
    VSIFCloseL(file);
    Dataset coloured;
    try {
        coloured = processed(handle, "color-relief", {}, name);
    } catch (...) {
        VSIUnlink(name);
        throw;
    }
    VSIUnlink(name);

    std::vector<Rgb> colours(values.size());
    auto* out = static_cast<GDALDatasetH>(coloured.get());
    for (int b = 0; b < 3; ++b) {
        // Each band fills its own byte of every Rgb, stepping over the other two.
        auto* first = reinterpret_cast<uint8_t*>(colours.data()) + b;
        if (GDALRasterIO(GDALGetRasterBand(out, b + 1), GF_Read, 0, 0, columns, lines, first, columns, lines,
                         GDT_Byte, static_cast<int>(sizeof(Rgb)), static_cast<int>(sizeof(Rgb)) * columns) != CE_None)
            throw ToolError("no se pueden leer los colores" + gdal_detail());
    }
    return colours;
}
