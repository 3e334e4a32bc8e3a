// Runs of the computation built in memory: the reference's input (plain
// vectors), the same rasters as grids in a run record, and helpers to compare
// elevations bit for bit.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/grid.hpp"
#include "tests/reference/reference_treatment.hpp"
#include "console/run_state.hpp"
#include "compute/channel.hpp"
#include "console/treatment_stage.hpp"

// Tones of the test runs: every mask starts at 0, which none of them is.
inline constexpr int32_t kChannel = 200;
inline constexpr int32_t kRailing = 100;
inline constexpr int32_t kContour = 50;
inline constexpr int32_t kPerimeter = 70;

template <typename T>
Grid<T> grid_of(const std::vector<std::vector<T>>& rows, int32_t lines, int32_t columns) {
    Grid<T> grid = Grid<T>::make(lines, columns);
    for (int32_t i = 0; i < lines && grid.made(); ++i)
        for (int32_t j = 0; j < columns; ++j) grid[i][j] = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    return grid;
}

// Every mask 0, the slope 0, the test tones, no water bodies, railing height 0
// and contour altitude 100.
inline ReferenceInput blank_input(int32_t lines, int32_t columns) {
    ReferenceInput in;
    in.nb_lig = lines;
    in.nb_col = columns;
    const auto L = static_cast<std::size_t>(lines);
    const auto C = static_cast<std::size_t>(columns);
    in.itab_in.assign(L, std::vector<int32_t>(C, 0));
    for (auto* mask : {&in.tab_bar, &in.tab_in, &in.tab_curv, &in.tab_perim})
        mask->assign(L, std::vector<unsigned char>(C, 0));
    in.tono_cauce = kChannel;
    in.tono_bar = kRailing;
    in.tono_lim = kContour;
    in.tono_perim = kPerimeter;
    in.alti_lim = 100;
    return in;
}

// Random masks, slope and parameters; the contour line and the lower boundary
// are always present somewhere (a miss walks all 1500 rings in the reference).
inline ReferenceInput random_input(std::mt19937& random, int32_t lines, int32_t columns) {
    ReferenceInput in = blank_input(lines, columns);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    in.presence = std::uniform_int_distribution<int32_t>(-1, 2)(random);
    in.alti_lim = std::uniform_int_distribution<int32_t>(-50, 3000)(random);
    in.alti_bar = std::uniform_int_distribution<int32_t>(0, 40)(random);
    const double channel = chance(random), railing = 0.03 + 0.2 * chance(random);
    const double perimeter = 0.1 * chance(random), contour = 0.03 + 0.2 * chance(random);
    std::uniform_int_distribution<int32_t> slope(-200, 2500);
    for (int32_t i = 0; i < lines; ++i)
        for (int32_t j = 0; j < columns; ++j) {
            in.tab_in[i][j] = chance(random) < channel ? kChannel : 0;
            in.tab_bar[i][j] = chance(random) < railing ? kRailing : 0;
            in.tab_curv[i][j] = chance(random) < contour ? kContour : 0;
            in.tab_perim[i][j] = chance(random) < perimeter ? kPerimeter : 0;
            in.itab_in[i][j] = slope(random);
        }
    in.tab_curv[static_cast<std::size_t>(lines - 1)][0] = kContour;
    in.tab_bar[0][static_cast<std::size_t>(columns - 1)] = kRailing;
    return in;
}

// The run record as loading leaves it for `in`: every grid made and filled
// (the perimeter only with water bodies).
inline void load_run(Run& run, const ReferenceInput& in, int32_t threads = 1) {
    run.nb_lig = in.nb_lig;
    run.nb_col = in.nb_col;
    run.parameters = {in.tono_cauce, in.tono_bar, in.tono_lim, in.tono_perim, in.alti_bar, in.alti_lim,
                      in.presence == 1};
    run.threads = threads;
    run.itab_in = grid_of(in.itab_in, in.nb_lig, in.nb_col);
    run.tab_bar = grid_of(in.tab_bar, in.nb_lig, in.nb_col);
    run.tab_in = grid_of(in.tab_in, in.nb_lig, in.nb_col);
    run.tab_curv = grid_of(in.tab_curv, in.nb_lig, in.nb_col);
    if (run.water_bodies()) run.tab_perim = grid_of(in.tab_perim, in.nb_lig, in.nb_col);
}

struct StageRun {
    Outcome outcome;
    std::string out;
};

// The computing stage over `run`, its console captured.
inline StageRun run_treatment(Run& run) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    const Outcome outcome = treatment(run, console);
    return {outcome, out.str()};
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The elevations of `got` (a window of the raster whose first pixel is
// (line, column)) against expected(i, j) over the raster pixels of `rect`, bit
// for bit; the first few differences are reported.
template <typename Expected>
void expect_same_elevations(const Elevations& got, int32_t line, int32_t column, const Expected& expected,
                            const RasterRect& rect, const std::string& label) {
    int differences = 0;
    for (int32_t i = rect.line; i < rect.line + rect.lines; ++i)
        for (int32_t j = rect.column; j < rect.column + rect.columns; ++j) {
            const double value = got.at(i - line, j - column);
            const double wanted = expected(i, j);
            if (!same_bits(value, wanted) && ++differences <= 5)
                ADD_FAILURE() << label << " pixel " << i << "," << j << ": " << value << " expected " << wanted;
        }
    EXPECT_EQ(differences, 0) << label;
}

// A run's elevations, read at a raster pixel.
inline auto elevations_of(const Run& run) {
    return [&run](int32_t i, int32_t j) { return run.dtab.at(i, j); };
}
