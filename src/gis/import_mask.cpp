#include "gis/import_mask.hpp"

#include <algorithm>

#include "gis/sidecar.hpp"
#include "gis/output_files.hpp"
#include "gis/pair_files.hpp"
#include "gis/tool_error.hpp"

void import_mask(const ImportMaskOptions& options, CommandContext& context) {
    if (options.tone < 1 || options.tone > 255)
        throw ToolError("el tono debe estar entre 1 y 255 (0 es el fondo de la mascara): " +
                        std::to_string(options.tone));
    const Georef grid = read_sidecar(options.like).grid;
    const GridSource source(options.source);

    OutputSet outputs(context.overwrite);
    outputs.protect(source.files());
    outputs.protect(elevation_pair_files(options.like));
    const PairOutputs files = add_mask_pair(outputs, options.name);

    context.progress.update(0.0);
    ProgressSpan span{context.progress, 0.0, 0.95};
    MaskPair mask;
    mask.lines = grid.lines;
    mask.columns = grid.columns;
    mask.pixels = source.burn(grid, options.like, static_cast<uint8_t>(options.tone), span, context.warnings).values;
    // An empty mask is nearly always a wrong layer, filter or class; the
    // console run would go on without its railing or channel.
    if (std::none_of(mask.pixels.begin(), mask.pixels.end(), [](uint8_t v) { return v != 0; }))
        throw ToolError("ningun pixel de la rejilla de " + options.like + " recibe el tono: revise " +
                        source.unmarked_hint());
    write_mask_pair(files, mask);
    outputs.commit(context.warnings);
    context.progress.update(1.0);
}
