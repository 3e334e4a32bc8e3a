#include "channel_passes.hpp"

#include <cstring>
#include <vector>

#include "elevation_rules.hpp"
#include "band_threads.hpp"
#include "progress_lines.hpp"

namespace {

// The grids' 8-bit values compared with a whole tone: a tone outside 0..255
// matches no pixel. Pixel loops compare bytes with `value`, and only when `any`.
struct ByteTone {
    explicit ByteTone(int32_t tone) : any(tone >= 0 && tone <= 255), value(static_cast<unsigned char>(tone)) {}
    bool matches(unsigned char pixel) const { return any && pixel == value; }
    bool any;
    unsigned char value;
};

// Rows i - r, i, i + r of the channel mask and of dtab; the outer ones null
// when they lie outside the raster.
struct NeighbourRows {
    NeighbourRows(const Run& run, int64_t i, int64_t r)
        : up_mask(i - r >= 0 ? run.tab_in[i - r] : nullptr),
          mask(run.tab_in[i]),
          down_mask(i + r < run.nb_lig ? run.tab_in[i + r] : nullptr),
          up(i - r >= 0 ? run.dtab[i - r] : nullptr),
          here(run.dtab[i]),
          down(i + r < run.nb_lig ? run.dtab[i + r] : nullptr) {}
    const unsigned char* up_mask;
    const unsigned char* mask;
    const unsigned char* down_mask;
    const double* up;
    double* here;
    const double* down;
};

}  // namespace

void prepare_grids(Run& run) {
    const ByteTone bar(run.tono_bar);
    const ByteTone perim(run.tono_perim);
    const bool perimeter = run.presence == 1;
    const auto n = static_cast<std::size_t>(run.nb_col > 0 ? run.nb_col : 0);
    if (run.nb_lig <= 0 || n == 0) return;  // an empty raster has no grids
    // Each line is set up on its own, so bands of lines go to the threads.
    split_in_bands(run.nb_lig, [&](int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            // 0.0 is the double whose bytes are all zero.
            std::memset(run.dtab[i], 0, n * sizeof(double));
            std::memset(run.itab_out[i], 0, n * sizeof(int32_t));
            unsigned char* lim = run.tab_lim_inf[i];
            const unsigned char* railing = run.tab_bar[i];
            if (!bar.any) {
                std::memset(lim, 255, n);
            } else {
                for (std::size_t j = 0; j < n; ++j) lim[j] = railing[j] == bar.value ? 1 : 255;
            }
            // When presence is not 1 the perimeter grid is not read at all.
            if (perimeter && perim.any) {
                const unsigned char* shore = run.tab_perim[i];
                for (std::size_t j = 0; j < n; ++j)
                    if (shore[j] == perim.value) lim[j] = 1;
            }
        }
    });
}

void coarse_pass(Run& run, Console& console, DistanceInterpolation& interpolation, CoarseBlocks blocks) {
    console.progress("\n\n primer paso\n\n");
    const ByteTone channel(run.tono_cauce);
    ProgressLines lines;
    std::vector<SearchCentre> centres;
    const bool empty = run.nb_col <= 0;  // an empty raster has no grids to look at
    // The searches of a block of lines run together (and on several threads);
    // their results are applied afterwards in the pass's own order, with the
    // progress lines between them, so nothing printed or stored depends on
    // the blocks. Blocks bound the memory the results take.
    for (int64_t first = 0; first < run.nb_lig;) {
        centres.clear();
        int64_t end = first;
        while (end < run.nb_lig && static_cast<int64_t>(centres.size()) < blocks.centres_per_block) {
            const unsigned char* mask = empty ? nullptr : run.tab_in[end];
            for (int64_t j = 0; j < run.nb_col; j += 4)
                if (channel.matches(mask[j]))
                    centres.push_back({static_cast<int32_t>(end), static_cast<int32_t>(j)});
            end += 4;
        }
        const std::vector<SearchPair> pairs = interpolation.search(centres, blocks.threads);
        std::size_t next = 0;
        for (int64_t i = first; i < end; i += 4) {
            const unsigned char* mask = empty ? nullptr : run.tab_in[i];
            for (int64_t j = 0; j < run.nb_col; j += 4) {
                console.progress(lines.position(static_cast<int32_t>(i), static_cast<int32_t>(j)));
                if (channel.matches(mask[j]))
                    interpolation.apply(static_cast<int32_t>(i), static_cast<int32_t>(j), pairs[next++]);
            }
        }
        first = end;
    }
}

namespace {

// The pixels of one line of a fill pass that have a channel neighbour get
// their mean; the columns of those without one are added to `lone`.
void fill_line(Run& run, const FillPass& pass, int64_t i, unsigned char c, std::vector<int32_t>& lone) {
    const int64_t r = pass.reach;
    const NeighbourRows rows(run, i, r);
    for (int64_t j = pass.first_column; j < run.nb_col; j += pass.column_step) {
        if (rows.mask[j] != c || rows.here[j] != 0.0) continue;
        const bool left = j - r >= 0;
        const bool right = j + r < run.nb_col;
        // Only the mask decides whether a neighbour counts: its elevation is
        // summed whatever it is, 0.0 and negative values included, in the
        // pass's order, rounding after each addition.
        double tot_alti = 0.0;
        int32_t ico = 0;
        const auto add = [&](const unsigned char* mask, const double* elevations, int64_t column) {
            if (mask[column] != c) return;
            ++ico;
            tot_alti += elevations[column];
        };
        if (pass.diagonal) {  // upper left, upper right, lower left, lower right
            if (rows.up_mask && left) add(rows.up_mask, rows.up, j - r);
            if (rows.up_mask && right) add(rows.up_mask, rows.up, j + r);
            if (rows.down_mask && left) add(rows.down_mask, rows.down, j - r);
            if (rows.down_mask && right) add(rows.down_mask, rows.down, j + r);
        } else {  // above, right, below, left
            if (rows.up_mask) add(rows.up_mask, rows.up, j);
            if (right) add(rows.mask, rows.here, j + r);
            if (rows.down_mask) add(rows.down_mask, rows.down, j);
            if (left) add(rows.mask, rows.here, j - r);
        }
        if (ico > 0)
            rows.here[j] = neighbour_mean(tot_alti, ico);
        else
            lone.push_back(static_cast<int32_t>(j));
    }
}

}  // namespace

void fill_pass(Run& run, Console& console, const FillPass& pass, const PixelInterpolation& interpolate) {
    console.progress(pass.heading);
    const ByteTone channel(run.tono_cauce);
    // An empty raster has no grids to look at.
    const bool pixels = channel.any && pass.first_column < run.nb_col;
    const int64_t count = run.nb_lig > pass.first_line
                              ? (int64_t{run.nb_lig} - pass.first_line + pass.line_step - 1) / pass.line_step
                              : 0;
    // A pass reads only pixels of earlier passes and writes only its own, so
    // its means do not depend on the order of its lines: bands of them go to
    // the threads. The pixels without a channel neighbour are interpolated
    // afterwards, in the pass's order, between the progress lines, exactly as
    // one line after the other would have done (their searches leave m2, n2).
    std::vector<std::vector<int32_t>> lone(static_cast<std::size_t>(pixels ? count : 0));
    if (pixels) {
        split_in_bands(count, [&](int64_t first, int64_t end) {
            for (int64_t k = first; k < end; ++k)
                fill_line(run, pass, pass.first_line + k * pass.line_step, channel.value,
                          lone[static_cast<std::size_t>(k)]);
        });
    }
    ProgressLines lines;
    for (int64_t k = 0; k < count; ++k) {
        const int64_t i = pass.first_line + k * pass.line_step;
        console.progress(lines.line(static_cast<int32_t>(i + 1)));
        if (!pixels) continue;
        for (const int32_t j : lone[static_cast<std::size_t>(k)]) interpolate(static_cast<int32_t>(i), j);
    }
}
