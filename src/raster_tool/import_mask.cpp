#include "import_mask.hpp"

#include <gdal_utils.h>
#include <ogr_api.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gdal_env.hpp"
#include "georef.hpp"
#include "pair_files.hpp"
#include "tool_error.hpp"

namespace {

MaskPair empty_mask(const Georef& grid) {
    MaskPair mask;
    mask.lines = grid.lines;
    mask.columns = grid.columns;
    mask.pixels.assign(static_cast<std::size_t>(grid.lines) * static_cast<std::size_t>(grid.columns), 0);
    return mask;
}

// A raster class is taken pixel for pixel, so its grid must be the elevation
// pair's: resampling would move the banks.
MaskPair mask_from_raster(GDALDatasetH source, const Georef& grid, const ImportMaskOptions& options,
                          Progress& progress) {
    const Georef own = georef_of(source);
    if (!same_grid(own, grid))
        throw ToolError("la rejilla de " + options.source + " (" + describe_grid(own) +
                        ") no coincide con la del MDE " + options.like + " (" + describe_grid(grid) + ")");
    const int count = GDALGetRasterCount(source);
    if (options.band < 1 || options.band > count)
        throw ToolError(options.source + " no tiene la banda " + std::to_string(options.band) + " (tiene " +
                        std::to_string(count) + ")");
    GDALRasterBandH band = GDALGetRasterBand(source, options.band);

    MaskPair mask = empty_mask(grid);
    std::vector<double> values(static_cast<std::size_t>(grid.columns));
    std::vector<uint8_t> valid(static_cast<std::size_t>(grid.columns));
    for (int32_t i = 0; i < grid.lines; ++i) {
        if (GDALRasterIO(band, GF_Read, 0, i, grid.columns, 1, values.data(), grid.columns, 1, GDT_Float64, 0, 0) !=
                CE_None ||
            GDALRasterIO(GDALGetMaskBand(band), GF_Read, 0, i, grid.columns, 1, valid.data(), grid.columns, 1,
                         GDT_Byte, 0, 0) != CE_None)
            throw ToolError("no se puede leer la linea " + std::to_string(i) + " de " + options.source + gdal_detail());
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (valid[j] == 0 || std::isnan(values[j])) continue;
            const bool marked = options.class_value ? values[j] == *options.class_value : values[j] != 0.0;
            if (marked)
                mask.pixels[static_cast<std::size_t>(i) * static_cast<std::size_t>(grid.columns) + j] =
                    static_cast<uint8_t>(options.tone);
        }
        progress.update(static_cast<double>(i + 1) / grid.lines, 0.0, 0.95);
    }
    return mask;
}

std::string layer_names(GDALDatasetH source) {
    std::string names;
    for (int k = 0; k < GDALDatasetGetLayerCount(source); ++k) {
        if (!names.empty()) names += ", ";
        names += OGR_L_GetName(GDALDatasetGetLayer(source, k));
    }
    return names;
}

std::string chosen_layer(GDALDatasetH source, const ImportMaskOptions& options) {
    if (options.layer) {
        if (GDALDatasetGetLayerByName(source, options.layer->c_str()) == nullptr)
            throw ToolError("no existe la capa " + *options.layer + " en " + options.source + " (capas: " +
                            layer_names(source) + ")");
        return *options.layer;
    }
    if (GDALDatasetGetLayerCount(source) != 1)
        throw ToolError(options.source + " tiene varias capas; elija una con --layer (capas: " + layer_names(source) +
                        ")");
    return OGR_L_GetName(GDALDatasetGetLayer(source, 0));
}

// GDAL's rasterizer burns the tone onto an in-memory copy of the grid; it
// reprojects the features when their CRS differs from the grid's.
MaskPair mask_from_vector(GDALDatasetH source, const Georef& grid, const ImportMaskOptions& options,
                          Progress& progress) {
    const std::string layer = chosen_layer(source, options);
    Dataset target = memory_raster(grid.columns, grid.lines, 1, GDT_Byte);
    auto* handle = static_cast<GDALDatasetH>(target.get());
    if (grid.has_transform) {
        double transform[6];
        std::copy(grid.transform.begin(), grid.transform.end(), transform);
        GDALSetGeoTransform(handle, transform);
    }
    if (!grid.crs_wkt.empty()) GDALSetProjection(handle, grid.crs_wkt.c_str());

    std::vector<std::string> words = {"-burn", std::to_string(options.tone), "-l", layer};
    if (options.where) {
        words.push_back("-where");
        words.push_back(*options.where);
    }
    if (options.all_touched) words.push_back("-at");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    GDALRasterizeOptions* rasterize = GDALRasterizeOptionsNew(argv.data(), nullptr);
    if (rasterize == nullptr) throw ToolError("opciones de rasterizado no validas" + gdal_detail());
    ProgressSpan span{progress, 0.0, 0.95};
    GDALRasterizeOptionsSetProgress(rasterize, ProgressSpan::gdal_callback, &span);
    CPLErrorReset();
    int usage_error = FALSE;
    GDALDatasetH done = GDALRasterize(nullptr, handle, source, rasterize, &usage_error);
    GDALRasterizeOptionsFree(rasterize);
    if (done == nullptr || usage_error || CPLGetLastErrorType() == CE_Failure)
        throw ToolError("no se pueden rasterizar los objetos de " + options.source + gdal_detail());

    MaskPair mask = empty_mask(grid);
    if (GDALRasterIO(GDALGetRasterBand(handle, 1), GF_Read, 0, 0, grid.columns, grid.lines, mask.pixels.data(),
                     grid.columns, grid.lines, GDT_Byte, 0, 0) != CE_None)
        throw ToolError("no se puede leer el raster en memoria" + gdal_detail());
    return mask;
}

}  // namespace

void import_mask(const ImportMaskOptions& options, Progress& progress) {
    if (options.tone < 1 || options.tone > 255)
        throw ToolError("el tono debe estar entre 1 y 255 (0 es el fondo de la mascara): " +
                        std::to_string(options.tone));
    const Georef grid = read_sidecar(options.like);
    Dataset dataset = open_source(options.source, GDAL_OF_RASTER | GDAL_OF_VECTOR);
    auto* source = static_cast<GDALDatasetH>(dataset.get());
    const bool vector = GDALDatasetGetLayerCount(source) > 0 &&
                        (GDALGetRasterCount(source) == 0 || options.layer || options.where);
    if (!vector && GDALGetRasterCount(source) == 0)
        throw ToolError(options.source + " no tiene ni bandas raster ni capas vectoriales");
    // An option meant for the other kind of source would otherwise be ignored.
    if (!vector && (options.layer || options.where || options.all_touched))
        throw ToolError(options.source + " es un raster: --layer, --where y --all-touched son para capas vectoriales");
    if (vector && options.class_value)
        throw ToolError(options.source + " es una capa vectorial: --class es para rasters de clases");
    progress.update(0.0);
    const MaskPair mask = vector ? mask_from_vector(source, grid, options, progress)
                                 : mask_from_raster(source, grid, options, progress);
    // An empty mask is nearly always a wrong layer, filter or class; the
    // console run would go on without its railing or channel.
    if (std::none_of(mask.pixels.begin(), mask.pixels.end(), [](uint8_t v) { return v != 0; }))
        throw ToolError("ningun pixel de la rejilla de " + options.like + " recibe el tono: revise " +
                        (vector ? "la capa, el filtro --where y la extension de " : "la clase y la banda de ") +
                        options.source);
    write_mask_pair(options.name, mask);
    progress.update(1.0);
}
