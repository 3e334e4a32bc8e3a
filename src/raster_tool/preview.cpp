#include "preview.hpp"

#include "gdal_env.hpp"
#include "preview_image.hpp"
#include "tool_error.hpp"

namespace {

void check_size(const std::string& what, int32_t lines, int32_t columns, const ElevationPair& values,
                const std::string& name) {
    if (lines != values.lines || columns != values.columns)
        throw ToolError(what + " (" + std::to_string(columns) + " columnas x " + std::to_string(lines) +
                        " lineas) no tiene el tamano de " + name + " (" + std::to_string(values.columns) +
                        " columnas x " + std::to_string(values.lines) + " lineas)");
}

}  // namespace

void preview(const PreviewOptions& options, Progress& progress) {
    if (!(options.z_factor > 0.0)) throw ToolError("--zfactor debe ser positivo");
    if (GDALGetDriverByName("PNG") == nullptr) throw ToolError("GDAL no tiene el controlador PNG");
    const ElevationPair values = read_elevation_pair(options.name);
    ElevationPair relief_pair;
    if (options.relief) {
        relief_pair = read_elevation_pair(*options.relief);
        check_size(*options.relief, relief_pair.lines, relief_pair.columns, values, options.name);
    }
    MaskPair mask;
    if (options.mask) {
        mask = read_mask_pair(*options.mask);
        check_size(*options.mask, mask.lines, mask.columns, values, options.name);
    }
    progress.update(0.0);
    const RgbImage image =
        compose_preview(values, options.relief ? relief_pair : values, options.mask ? &mask : nullptr, options.tone,
                        options.z_factor);
    progress.update(0.5);

    Dataset memory = memory_raster(image.width, image.height, 3, GDT_Byte);
    auto* handle = static_cast<GDALDatasetH>(memory.get());
    for (int b = 0; b < 3; ++b) {
        // Each band reads its own byte of every Rgb, stepping over the other two.
        auto* first = reinterpret_cast<const uint8_t*>(image.pixels.data()) + b;
        if (GDALRasterIO(GDALGetRasterBand(handle, b + 1), GF_Write, 0, 0, image.width, image.height,
                         const_cast<uint8_t*>(first), image.width, image.height, GDT_Byte,
                         static_cast<int>(sizeof(Rgb)), static_cast<int>(sizeof(Rgb)) * image.width) != CE_None)
            throw ToolError("no se puede preparar la imagen en memoria" + gdal_detail());
    }
    ProgressSpan span{progress, 0.5, 1.0};
    write_with_driver(handle, "PNG", options.output, ProgressSpan::gdal_callback, &span);
    progress.update(1.0);
}
