#include "gis/preview.hpp"

#include <algorithm>

#include "gis/dem_processing.hpp"
#include "gis/gdal_env.hpp"
#include "gis/memory_budget.hpp"
#include "gis/output_files.hpp"
#include "gis/pair_files.hpp"
#include "gis/preview_image.hpp"
#include "gis/tool_error.hpp"

void preview(const PreviewOptions& options, CommandContext& context) {
    if (!(options.z_factor > 0.0)) throw ToolError("--zfactor debe ser positivo");
    check_output_format(options.format, GDT_Byte);

    OutputSet outputs(context.overwrite);
    outputs.protect(elevation_pair_files(options.name));
    if (options.relief) outputs.protect(elevation_pair_files(*options.relief));
    if (options.mask) outputs.protect(mask_pair_files(*options.mask));
    const OutputFile output = outputs.add_dataset(options.output);

    const ElevationPair values = read_elevation_pair(options.name);
    // Relief, shade, colours and picture besides the pair itself.
    require_memory(raster_bytes(values.lines, values.columns, 4 + 1 + 1 + 8 + 3 + 3 + 8) +
                       raster_bytes(values.lines + kLegendHeight, preview_width(values.columns), 6),
                   "la vista previa de " + options.name);
    ElevationPair relief_pair;
    if (options.relief) {
        relief_pair = read_elevation_pair(*options.relief);
        require_same_size(relief_pair, *options.relief, values, options.name);
    }
    PreviewLayers layers;
    layers.columns = values.columns;
    layers.lines = values.lines;
    if (options.mask) {
        const MaskPair mask = read_mask_pair(*options.mask);
        require_same_size(mask, *options.mask, values, options.name);
        require_tone(mask, options.tone, *options.mask);
        layers.tinted.resize(mask.pixels.size());
        std::transform(mask.pixels.begin(), mask.pixels.end(), layers.tinted.begin(),
                       [&](uint8_t v) { return static_cast<uint8_t>(v == options.tone); });
    } else {
        layers.tinted.resize(values.pixels.size());
        std::transform(values.pixels.begin(), values.pixels.end(), layers.tinted.begin(),
                       [](int32_t v) { return static_cast<uint8_t>(v != 0); });
    }
    context.progress.update(0.0);

    for (std::size_t k = 0; k < values.pixels.size(); ++k) {
        if (layers.tinted[k] == 0) continue;
        if (!layers.range) layers.range = {values.pixels[k], values.pixels[k]};
        layers.range->first = std::min(layers.range->first, values.pixels[k]);
        layers.range->second = std::max(layers.range->second, values.pixels[k]);
    }
    const double low = layers.range ? layers.range->first : 0.0;
    const double high = layers.range ? layers.range->second : 1.0;
    layers.shade = hillshade(options.relief ? relief_pair : values, options.z_factor);
    layers.colours = colour_relief(std::vector<double>(values.pixels.begin(), values.pixels.end()), layers.tinted,
                                   values.columns, values.lines, low, high);
    // The legend bar: the same ramp, lowest on the left.
    const int bar = preview_width(values.columns) - 2 * kLegendMargin;
    std::vector<double> ramp(static_cast<std::size_t>(bar));
    for (int x = 0; x < bar; ++x) ramp[static_cast<std::size_t>(x)] = low + (high - low) * x / std::max(bar - 1, 1);
    layers.ramp = colour_relief(ramp, {}, bar, 1, low, high);
    const RgbImage image = compose_preview(layers);
    context.progress.update(0.5);

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
    ProgressSpan span{context.progress, 0.5, 1.0};
    write_raster(handle, output, options.format, span, context.warnings);
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
