#include "channel_passes.hpp"

#include "elevation_rules.hpp"

namespace {

bool is_channel(const Run& run, int64_t i, int64_t j) {
    return static_cast<int32_t>(run.tab_in[i][j]) == run.tono_cauce;
}

bool inside(const Run& run, int64_t i, int64_t j) {
    return i >= 0 && i < run.nb_lig && j >= 0 && j < run.nb_col;
}

// Upper left, upper right, lower left, lower right; or above, right, below,
// left. The order is that of the sum, which rounds after each addition.
std::array<std::array<int32_t, 2>, 4> neighbour_steps(const FillPass& pass) {
    const int32_t r = pass.reach;
    if (pass.diagonal) return {{{-r, -r}, {-r, r}, {r, -r}, {r, r}}};
    return {{{-r, 0}, {0, r}, {r, 0}, {0, -r}}};
}

}  // namespace

void prepare_grids(Run& run) {
    const bool perimeter = run.presence == 1;
    for (int32_t i = 0; i < run.nb_lig; ++i) {
        for (int32_t j = 0; j < run.nb_col; ++j) {
            run.dtab[i][j] = 0.0;
            run.itab_out[i][j] = 0;
            run.tab_lim_inf[i][j] = 255;
            if (static_cast<int32_t>(run.tab_bar[i][j]) == run.tono_bar) run.tab_lim_inf[i][j] = 1;
            if (perimeter && static_cast<int32_t>(run.tab_perim[i][j]) == run.tono_perim)
                run.tab_lim_inf[i][j] = 1;
        }
    }
}

void coarse_pass(Run& run, Console& console, const PixelInterpolation& interpolate) {
    console.progress("\n\n primer paso\n\n");
    for (int64_t i = 0; i < run.nb_lig; i += 4) {
        for (int64_t j = 0; j < run.nb_col; j += 4) {
            console.progressf("\tLinea %d    Columna %d          \r     ", static_cast<int>(i), static_cast<int>(j));
            if (is_channel(run, i, j)) interpolate(static_cast<int32_t>(i), static_cast<int32_t>(j));
        }
    }
}

void fill_pass(Run& run, Console& console, const FillPass& pass, const PixelInterpolation& interpolate) {
    const auto steps = neighbour_steps(pass);
    console.progress(pass.heading);
    for (int64_t i = pass.first_line; i < run.nb_lig; i += pass.line_step) {
        console.progressf("\tLinea %d          \r     ", static_cast<int>(i + 1));
        for (int64_t j = pass.first_column; j < run.nb_col; j += pass.column_step) {
            if (!is_channel(run, i, j) || run.dtab[i][j] != 0.0) continue;
            double tot_alti = 0.0;
            int32_t ico = 0;
            for (const auto& [di, dj] : steps) {
                const int64_t line = i + di;
                const int64_t column = j + dj;
                // Only the mask decides: a channel neighbour's elevation is
                // summed whatever it is, 0.0 and negative values included.
                if (!inside(run, line, column) || !is_channel(run, line, column)) continue;
                ++ico;
                tot_alti += run.dtab[line][column];
            }
            if (ico > 0)
                run.dtab[i][j] = neighbour_mean(tot_alti, ico);
            else
                interpolate(static_cast<int32_t>(i), static_cast<int32_t>(j));
        }
    }
}
