// Grids and runs built directly in memory for the computation's tests.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "console.hpp"
#include "nrutil.hpp"
#include "run_state.hpp"

// An 8-bit grid that releases itself.
class ToneGrid {
public:
    ToneGrid(int32_t nb_lig, int32_t nb_col, unsigned char fill = 0)
        : nb_lig_(nb_lig), nb_col_(nb_col), tab_(ucmatrice(nb_col, nb_lig)) {
        for (int32_t i = 0; i < nb_lig; ++i)
            for (int32_t j = 0; j < nb_col; ++j) tab_[i][j] = fill;
    }
    ~ToneGrid() { frucmatrice(tab_, nb_lig_); }
    ToneGrid(const ToneGrid&) = delete;
    ToneGrid& operator=(const ToneGrid&) = delete;

    unsigned char** tab() const { return tab_; }
    unsigned char& at(int32_t i, int32_t j) { return tab_[i][j]; }
    int32_t nb_lig() const { return nb_lig_; }
    int32_t nb_col() const { return nb_col_; }

private:
    int32_t nb_lig_;
    int32_t nb_col_;
    unsigned char** tab_;
};

// Tones of the test runs: every mask starts at 0, which none of them is.
inline constexpr int32_t kChannel = 200;
inline constexpr int32_t kRailing = 100;
inline constexpr int32_t kContour = 50;
inline constexpr int32_t kPerimeter = 70;

// A loaded run of the given size: every grid the computation reads allocated
// and zero (the perimeter grid only when asked for), the tones above, presence
// 0, railing height 0 and contour altitude 100.
inline void load_run(Run& run, int32_t nb_lig, int32_t nb_col, bool with_perimeter = false) {
    run.nb_lig = nb_lig;
    run.nb_col = nb_col;
    run.itab_in = imatrice(nb_col, nb_lig);
    run.tab_bar = ucmatrice(nb_col, nb_lig);
    run.tab_in = ucmatrice(nb_col, nb_lig);
    run.tab_curv = ucmatrice(nb_col, nb_lig);
    if (with_perimeter) run.tab_perim = ucmatrice(nb_col, nb_lig);
    run.dtab = dmatrice(nb_col, nb_lig);
    run.itab_out = imatrice(nb_col, nb_lig);
    run.tono_cauce = kChannel;
    run.tono_bar = kRailing;
    run.tono_lim = kContour;
    run.tono_perim = kPerimeter;
    run.presence = 0;
    run.alti_bar = 0;
    run.alti_lim = 100;
}

inline void fill(unsigned char** tab, const Run& run, unsigned char value) {
    for (int32_t i = 0; i < run.nb_lig; ++i)
        for (int32_t j = 0; j < run.nb_col; ++j) tab[i][j] = value;
}

// What a stage printed, and how it ended.
struct StageResult {
    Outcome outcome;
    std::string out;
};

template <typename Stage>
StageResult run_stage(Run& run, Stage stage) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    const Outcome outcome = stage(run, console);
    return {outcome, out.str()};
}
