#include "compute/channel_passes.hpp"

#include <vector>

#include "compute/elevation_rules.hpp"
#include "compute/search_ahead.hpp"
#include "parallel/band_threads.hpp"

namespace {

// The first offset k >= 0 from a window's first position `origin` (a line or
// a column of the raster) that lies on the lattice first, first + step, ...
int64_t lattice_start(int64_t origin, int64_t first, int64_t step) {
    if (origin <= first) return first - origin;
    const int64_t past = (origin - first) % step;
    return past == 0 ? 0 : step - past;
}

// The first output column from `from` on that lies on the lattice b0, b0 +
// step, ... (b0 >= 0).
int64_t first_on_lattice(int64_t from, int64_t b0, int64_t step) {
    if (from <= b0) return b0;
    return b0 + (from - b0 + step - 1) / step * step;
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
    // Only the line's held columns can be channel pixels.
    const int64_t end = int64_t{rows.here.first} + rows.here.count;
    for (int64_t b = first_on_lattice(rows.here.first, b0, pass.column_step); b < end; b += pass.column_step) {
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
    // Every channel pixel of the pass, in its order; where each lattice line's
    // pixels begin; and the lines at which a block of the pass ends (at least
    // centres_per_block pixels, or the window's end), when its share is told.
    std::vector<SearchCentre> centres;
    std::vector<std::size_t> line_starts;
    std::vector<int64_t> block_ends;
    std::size_t block_start = 0;
    for (int64_t a = a0; a < out.lines; a += 4) {
        line_starts.push_back(centres.size());
        if (pixels) {
            // Only the line's held columns can be channel pixels.
            const unsigned char* mask = zone_row(grids, a);
            const Elevations::Span& held = grids.elevations.line(a);
            for (int64_t b = first_on_lattice(held.first, b0, 4); b < int64_t{held.first} + held.count; b += 4)
                if (mask[b] == channel.value())
                    centres.push_back({static_cast<int32_t>(out.line + a), static_cast<int32_t>(out.column + b)});
        }
        if (static_cast<int64_t>(centres.size() - block_start) >= blocks.centres_per_block || a + 4 >= out.lines) {
            block_ends.push_back(a + 4);
            block_start = centres.size();
        }
    }
    line_starts.push_back(centres.size());

    // The searches run ahead on the other threads (search_ahead.hpp); this
    // thread reports the positions and applies the results in the pass's order.
    SearchAhead ahead(interpolation, centres);
    split_in_bands(blocks.threads, blocks.threads, [&](int64_t band, int64_t) {
        if (band > 0) {
            ahead.help();
            return;
        }
        struct Done {
            SearchAhead& ahead;
            ~Done() { ahead.stop(); }
        } done{ahead};
        std::size_t next = 0;  // the next centre
        std::size_t line = 0;  // the next lattice line
        int64_t a = a0;
        for (const int64_t end : block_ends) {
            if (progress.stop_requested()) return;  // the helpers stop with `done`
            for (; a < end; a += 4, ++line) {
                const std::size_t line_end = line_starts[line + 1];
                if (!positions) {
                    for (; next < line_end; ++next) interpolation.apply(centres[next].i, centres[next].j, ahead.result(next));
                    continue;
                }
                // Every lattice position in order; the centres are among them, in the same order.
                const auto i = static_cast<int32_t>(out.line + a);
                for (int64_t b = b0; b < out.columns; b += 4) {
                    const auto j = static_cast<int32_t>(out.column + b);
                    progress.position_reached(i, j);
                    if (next < line_end && centres[next].j == j) {
                        interpolation.apply(i, j, ahead.result(next));
                        ++next;
                    }
                }
            }
            progress.share_done(kFirstPassShare * static_cast<double>(end) / static_cast<double>(out.lines));
        }
    });
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
