// The stage's console output, byte for byte: headings, carriage returns and
// blanks, and which lines and positions are announced.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "compute_fixtures.hpp"
#include "stages.hpp"

namespace {

// What the stage prints for a raster of the given size: pass 1 announces every
// visited position counted from 0, passes 2 to 7 every visited line counted
// from 1, whether or not it has a column to visit.
std::string expected_progress(int32_t nb_lig, int32_t nb_col) {
    std::string text = "\n\n primer paso\n\n";
    char line[96];
    for (int32_t i = 0; i < nb_lig; i += 4)
        for (int32_t j = 0; j < nb_col; j += 4) {
            std::snprintf(line, sizeof line, "\tLinea %d    Columna %d          \r     ", i, j);
            text += line;
        }
    const std::pair<const char*, std::pair<int32_t, int32_t>> passes[] = {
        {"segundo", {2, 4}}, {"tercer", {2, 4}}, {"cuarto", {0, 4}},
        {"quinto", {1, 2}},  {"sexto", {0, 2}},  {"septimo", {1, 2}},
    };
    for (const auto& [name, lines] : passes) {
        text += std::string("\n\n ") + name + " paso\n\n";
        for (int32_t i = lines.first; i < nb_lig; i += lines.second) {
            std::snprintf(line, sizeof line, "\tLinea %d          \r     ", i + 1);
            text += line;
        }
    }
    return text;
}

TEST(TreatmentProgress, FiveByFiveWrittenOut) {
    ::Run run;
    load_run(run, 5, 5);
    const StageResult result = run_stage(run, treatment);
    EXPECT_EQ(result.out,
              "\n\n primer paso\n\n"
              "\tLinea 0    Columna 0          \r     \tLinea 0    Columna 4          \r     "
              "\tLinea 4    Columna 0          \r     \tLinea 4    Columna 4          \r     "
              "\n\n segundo paso\n\n\tLinea 3          \r     "
              "\n\n tercer paso\n\n\tLinea 3          \r     "
              "\n\n cuarto paso\n\n\tLinea 1          \r     \tLinea 5          \r     "
              "\n\n quinto paso\n\n\tLinea 2          \r     \tLinea 4          \r     "
              "\n\n sexto paso\n\n\tLinea 1          \r     \tLinea 3          \r     \tLinea 5          \r     "
              "\n\n septimo paso\n\n\tLinea 2          \r     \tLinea 4          \r     ");
}

TEST(TreatmentProgress, EverySmallShape) {
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {2, 9},
                                                 {9, 2}, {3, 3}, {4, 5}, {8, 8}, {13, 10}};
    for (const auto& [nb_lig, nb_col] : sizes) {
        ::Run run;
        load_run(run, nb_lig, nb_col);
        // Channel pixels with their boundary and contour, so that the output
        // also shows that the computation prints nothing else.
        fill(run.tab_in, run, kChannel);
        fill(run.tab_curv, run, kContour);
        fill(run.tab_bar, run, kRailing);
        const StageResult result = run_stage(run, treatment);
        EXPECT_EQ(result.outcome, Outcome::go_on);
        EXPECT_EQ(result.out, expected_progress(nb_lig, nb_col)) << nb_lig << "x" << nb_col;
    }
}

TEST(TreatmentProgress, AnEmptyRasterPrintsItsHeadingsAndTouchesNoPixel) {
    // The grids of an empty raster are null: any pixel access would fault.
    for (const auto& [nb_lig, nb_col] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        ::Run run;
        run.nb_lig = nb_lig;
        run.nb_col = nb_col;
        run.tono_cauce = kChannel;
        run.presence = 1;
        const StageResult result = run_stage(run, treatment);
        EXPECT_EQ(result.outcome, Outcome::go_on);
        EXPECT_EQ(result.out, expected_progress(nb_lig, nb_col)) << nb_lig << "x" << nb_col;
        EXPECT_EQ(run.tab_lim_inf, nullptr);
    }
    ::Run run;
    run.nb_lig = 5;
    const StageResult result = run_stage(run, treatment);
    EXPECT_EQ(result.out,
              "\n\n primer paso\n\n"
              "\n\n segundo paso\n\n\tLinea 3          \r     "
              "\n\n tercer paso\n\n\tLinea 3          \r     "
              "\n\n cuarto paso\n\n\tLinea 1          \r     \tLinea 5          \r     "
              "\n\n quinto paso\n\n\tLinea 2          \r     \tLinea 4          \r     "
              "\n\n sexto paso\n\n\tLinea 1          \r     \tLinea 3          \r     \tLinea 5          \r     "
              "\n\n septimo paso\n\n\tLinea 2          \r     \tLinea 4          \r     ");
}

}  // namespace
