// Complete runs of the real program whose channel elevations are known
// beforehand: worked out by hand on a one-line raster, and given by the
// plainly written model over the literal ring search on a small valley.
// Result raster, descriptor and console output are compared byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"
#include "tests/support/dialog_text.hpp"
#include "tests/reference/reference_treatment.hpp"

namespace dt = dialog_text;

namespace {

// One line of seven channel pixels, railing and contour on every pixel, the
// slope rising by 10 a column; railing height 0, contour altitude 100.
class OneLine : public ConsoleRun {
protected:
    void SetUp() override {
        write_elevation_pair(folder_, "valle", 1, 7, {0, 10, 20, 30, 40, 50, 60});
        for (const char* mask : {"bar", "cauce", "curva"})
            write_mask_pair(folder_, mask, 1, 7, std::vector<unsigned char>(7, 255));
        answers_.alti_bar = "0";
        answers_.alti_lim = "100";
    }
    RunAnswers answers_;
};

TEST_F(OneLine, WorkedByHand) {
    const BinaryRun r = run(answers_);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    // Pass 1: (0,0) and (0,4) halfway between 100 and the slope of the pixel
    // to their right (10 and 50); pass 4: (0,2) and (0,6) from their
    // neighbours two columns away; pass 6: the odd columns from both sides.
    EXPECT_EQ(result_raw(), little_endian_int32s({55, 60, 65, 70, 75, 75, 75}));
    EXPECT_EQ(result_txt(), "1\n7\n4\n55\n75\n10\n");
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + dt::computation(1, 7));
}

TEST_F(OneLine, WithoutItsContourToneWarnsAndKeepsTheBase) {
    answers_.tono_lim = "256";  // no 8-bit pixel holds it
    const BinaryRun r = run(answers_);
    EXPECT_EQ(r.exit_status, 0);
    // Without a contour line the two interpolated pixels take their base
    // elevation (10 and 50); the means follow from them.
    EXPECT_EQ(result_raw(), little_endian_int32s({10, 20, 30, 40, 50, 50, 50}));
    EXPECT_EQ(result_txt(), "1\n7\n4\n10\n50\n10\n");
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + dt::computation(1, 7) +
                         "\n Aviso: 2 pixeles del cauce sin curva de nivel y 0 sin limite inferior a menos de "
                         "1500 pixeles \n");
}

// A 12x14 valley: the slope falls towards the middle line and along the
// columns; railing on the middle line, contour on the first and last lines,
// a channel with holes and one isolated pixel, a small lake.
ReferenceInput valley(bool lake) {
    constexpr int32_t lines = 12, columns = 14;
    ReferenceInput in;
    in.nb_lig = lines;
    in.nb_col = columns;
    in.presence = lake ? 1 : 0;
    in.tono_cauce = 200;
    in.tono_bar = 100;
    in.tono_lim = 50;
    in.tono_perim = 70;
    in.alti_bar = 3;
    in.alti_lim = 160;
    in.itab_in.assign(lines, std::vector<int32_t>(columns));
    in.tab_bar.assign(lines, std::vector<unsigned char>(columns, 0));
    in.tab_in = in.tab_curv = in.tab_perim = in.tab_bar;
    for (int32_t i = 0; i < lines; ++i)
        for (int32_t j = 0; j < columns; ++j) {
            in.itab_in[i][j] = 100 + 7 * (i > 6 ? i - 6 : 6 - i) - j;
            if (i == 6) in.tab_bar[i][j] = 100;
            if (i == 0 || (i == 11 && j < 13)) in.tab_curv[i][j] = 50;
            if (i >= 1 && i <= 10 && i != 6 && (i + 2 * j) % 9 != 0) in.tab_in[i][j] = 200;
        }
    in.tab_in[10][12] = 0;
    in.tab_in[11][13] = 200;  // no channel neighbour: interpolated in pass 5
    in.tab_perim[2][9] = in.tab_perim[3][9] = in.tab_perim[3][10] = 70;
    return in;
}

template <typename T>
std::vector<T> flat(const std::vector<std::vector<T>>& grid) {
    std::vector<T> out;
    for (const auto& row : grid) out.insert(out.end(), row.begin(), row.end());
    return out;
}

TEST_F(ConsoleRun, ValleyMatchesTheModelWithAndWithoutTheLakeOnAnyNumberOfThreads) {
    for (const bool lake : {false, true}) {
        const ReferenceInput in = valley(lake);
        write_elevation_pair(folder_, "valle", in.nb_lig, in.nb_col, flat(in.itab_in));
        write_mask_pair(folder_, "bar", in.nb_lig, in.nb_col, flat(in.tab_bar));
        write_mask_pair(folder_, "cauce", in.nb_lig, in.nb_col, flat(in.tab_in));
        write_mask_pair(folder_, "curva", in.nb_lig, in.nb_col, flat(in.tab_curv));
        write_mask_pair(folder_, "lago", in.nb_lig, in.nb_col, flat(in.tab_perim));
        RunAnswers answers;
        answers.presence = lake ? "1" : "0";
        answers.tono_cauce = "200";
        answers.tono_bar = "100";
        answers.alti_bar = "3";
        answers.tono_lim = "50";
        answers.alti_lim = "160";
        answers.tono_perim = "70";

        const ReferenceResult expected = reference_treatment(in);
        ASSERT_EQ(expected.console, dt::computation(in.nb_lig, in.nb_col)) << "no search may miss here";
        const std::vector<int32_t> raster = rounded_raster(expected.dtab);
        for (const char* threads : {"1", "3"}) {
            const BinaryRun r = run(answers, {{"LORVANTIDE_THREADS", threads}});
            SCOPED_TRACE(std::string("lake ") + (lake ? "1" : "0") + ", threads " + threads);
            EXPECT_EQ(r.exit_status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, dt::opening(lake) + dt::parameters(lake) + expected.console);
            EXPECT_EQ(result_raw(), little_endian_int32s(raster));
            EXPECT_EQ(result_txt(), result_descriptor(in.nb_lig, in.nb_col, raster));
        }
    }
    // The lake changes the base of the pixels nearest to it.
    EXPECT_NE(rounded_raster(reference_treatment(valley(false)).dtab),
              rounded_raster(reference_treatment(valley(true)).dtab));
}

}  // namespace
