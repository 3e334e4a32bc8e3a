#include "compute/channel_passes.hpp"

#include <vector>

#include "compute/elevation_rules.hpp"
#include "parallel/band_threads.hpp"

namespace {

// The first offset k >= 0 from a window's first position `origin` (a line or
// a column of the raster) that lies on the lattice first, first + step, ...
int64_t lattice_start(int64_t origin, int64_t first, int64_t step) {
    if (origin <= first) return first - origin;
    const int64_t past = (origin - first) % step;
    return past == 0 ? 0 : step - past;
}

// The channel-zone row of output line a, from the output's first column on.
const unsigned char* zone_row(const PassGrids& grids, int64_t a) {
    const RasterRect& in = grids.window.inputs;
    const RasterRect& out = grids.window.output;
    return grids.zone[a + out.line - in.line] + (out.column - in.column);
}

// Rows a - r, a, a + r of the channel zone and of the elevations, in output
// lines; the outer ones null when they lie outside the output. Elevations are
// read and written at channel pixels only, which their line's span holds.
struct NeighbourRows {
    NeighbourRows(const PassGrids& grids, int64_t a, int64_t r) {
        const int64_t lines = grids.window.output.lines;
        mask = zone_row(grids, a);
        here = grids.elevations.line(a);
        if (a - r >= 0) {
            up_mask = zone_row(grids, a - r);
            up = grids.elevations.line(a - r);
        }
        if (a + r < lines) {
            down_mask = zone_row(grids, a + r);
            down = grids.elevations.line(a + r);
        }
    }
    const unsigned char* up_mask = nullptr;
    const unsigned char* mask = nullptr;
    const unsigned char* down_mask = nullptr;
    Elevations::Span up, here, down;
};

// The pixels of output line a of a fill pass that have a channel neighbour
// get their mean; the output columns of those without one go to `lone`.
void fill_line(const PassGrids& grids, const FillPass& pass, int64_t a, int64_t b0, unsigned char c,
               std::vector<int32_t>& lone) {
    const int64_t r = pass.reach;
    const int64_t columns = grids.window.output.columns;
    const NeighbourRows rows(grids, a, r);
    for (int64_t b = b0; b < columns; b += pass.column_step) {
        if (rows.mask[b] != c || rows.here.at(b) != 0.0) continue;
        const bool left = b - r >= 0;
        const bool right = b + r < columns;
        // Only the mask decides whether a neighbour counts: its elevation is
        // summed whatever it is, 0.0 and negative values included, in the
        // pass's order, rounding after each addition.
        double sum = 0.0;
        int32_t count = 0;
        const auto add = [&](const unsigned char* mask, const Elevations::Span& neighbours, int64_t column) {
            if (mask[column] != c) return;
            ++count;
            sum += neighbours.at(column);
        };
        if (pass.diagonal) {  // upper left, upper right, lower left, lower right
            if (rows.up_mask && left) add(rows.up_mask, rows.up, b - r);
            if (rows.up_mask && right) add(rows.up_mask, rows.up, b + r);
            if (rows.down_mask && left) add(rows.down_mask, rows.down, b - r);
            if (rows.down_mask && right) add(rows.down_mask, rows.down, b + r);
        } else {  // above, right, below, left
            if (rows.up_mask) add(rows.up_mask, rows.up, b);
            if (right) add(rows.mask, rows.here, b + r);
            if (rows.down_mask) add(rows.down_mask, rows.down, b);
            if (left) add(rows.mask, rows.here, b - r);
        }
        if (count > 0)
            rows.here.at(b) = neighbour_mean(sum, count);
        else
            lone.push_back(static_cast<int32_t>(b));
    }
}

}  // namespace

void coarse_pass(const PassGrids& grids, ChannelProgress& progress, DistanceInterpolation& interpolation,
                 CoarseBlocks blocks) {
    const bool positions = progress.wants_positions();
    progress.pass_begun(1);
    const Tone channel = grids.zone_tone;
    const RasterRect& out = grids.window.output;
    const int64_t a0 = lattice_start(out.line, 0, 4);
    const int64_t b0 = lattice_start(out.column, 0, 4);
    // Without columns (or a tone that matches nothing) there is no pixel to read.
    const bool pixels = channel.marks_pixels() && b0 < out.columns;
    std::vector<SearchCentre> centres;
    // The searches of a block of lines run together (and on several threads);
    // their results are applied afterwards in the pass's own order, with the
    // progress lines between them, so nothing printed or stored depends on
    // the blocks. Blocks bound the memory the results take.
    for (int64_t first = a0; first < out.lines && !progress.stop_requested();) {
        centres.clear();
        int64_t end = first;
        while (end < out.lines && static_cast<int64_t>(centres.size()) < blocks.centres_per_block) {
            if (pixels) {
                const unsigned char* mask = zone_row(grids, end);
                for (int64_t b = b0; b < out.columns; b += 4)
                    if (mask[b] == channel.value())
                        centres.push_back({static_cast<int32_t>(out.line + end), static_cast<int32_t>(out.column + b)});
            }
            end += 4;
        }
        const std::vector<SearchPair> pairs = interpolation.search(centres, blocks.threads);
        if (positions) {
            // Every lattice position in order; the centres are among them, in the same order.
            std::size_t next = 0;
            for (int64_t a = first; a < end; a += 4) {
                for (int64_t b = b0; b < out.columns; b += 4) {
                    const auto i = static_cast<int32_t>(out.line + a);
                    const auto j = static_cast<int32_t>(out.column + b);
                    progress.position_reached(i, j);
                    if (next < centres.size() && centres[next].i == i && centres[next].j == j)
                        interpolation.apply(i, j, pairs[next++]);
                }
            }
        } else {
            for (std::size_t k = 0; k < centres.size(); ++k) interpolation.apply(centres[k].i, centres[k].j, pairs[k]);
        }
        first = end;
        progress.share_done(kFirstPassShare * static_cast<double>(end) / static_cast<double>(out.lines));
    }
}

void fill_pass(const PassGrids& grids, ChannelProgress& progress, const FillPass& pass,
               const PixelInterpolation& interpolate, int32_t threads) {
    const bool positions = progress.wants_positions();
    progress.pass_begun(pass.pass);
    const Tone channel = grids.zone_tone;
    const RasterRect& out = grids.window.output;
    const int64_t a0 = lattice_start(out.line, pass.first_line, pass.line_step);
    const int64_t b0 = lattice_start(out.column, pass.first_column, pass.column_step);
    // Without columns (or a tone that matches nothing) there is no pixel to read.
    const bool pixels = channel.marks_pixels() && b0 < out.columns;
    const int64_t count = out.lines > a0 ? (out.lines - a0 + pass.line_step - 1) / pass.line_step : 0;
    // A pass reads only pixels of earlier passes and writes only its own, so
    // its means do not depend on the order of its lines: bands of them go to
    // the threads. The pixels without a channel neighbour are interpolated
    // afterwards, in the pass's order, between the progress lines, exactly as
    // one line after the other would have done.
    std::vector<std::vector<int32_t>> lone(static_cast<std::size_t>(pixels ? count : 0));
    if (pixels) {
        split_in_bands(count, threads, [&](int64_t first, int64_t end) {
            for (int64_t k = first; k < end; ++k)
                fill_line(grids, pass, a0 + k * pass.line_step, b0, channel.value(), lone[static_cast<std::size_t>(k)]);
        });
    }
    for (int64_t k = 0; k < count; ++k) {
        const auto i = static_cast<int32_t>(out.line + a0 + k * pass.line_step);
        if (positions) progress.line_reached(i);
        if (!pixels) continue;
        for (const int32_t b : lone[static_cast<std::size_t>(k)]) interpolate(i, static_cast<int32_t>(out.column + b));
    }
}
