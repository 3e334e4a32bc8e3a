// Complete runs of the real program whose channel elevations are known
// beforehand: worked out by hand on a one-line raster, and given by the
// plainly written model over the literal ring search on a small valley.
// Result raster, descriptor and console output are compared byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../compute/reference_treatment.hpp"
#include "dialog_text.hpp"
#include "raster_files.hpp"
#include "run_binary.hpp"
#include "temp_folder.hpp"

namespace dt = dialog_text;

namespace {

// Pass headings and progress lines of a raster of the given size, from the
// pass rules: pass 1 every fourth column of every fourth line from 0, passes
// 2 to 7 one line each, counted from 1.
std::string progress_text(int lines, int columns) {
    char text[96];
    std::string out = "\n\n primer paso\n\n";
    for (int i = 0; i < lines; i += 4)
        for (int j = 0; j < columns; j += 4) {
            std::snprintf(text, sizeof text, "\tLinea %d    Columna %d          \r     ", i, j);
            out += text;
        }
    const char* names[] = {"segundo", "tercer", "cuarto", "quinto", "sexto", "septimo"};
    const int starts[] = {2, 2, 0, 1, 0, 1};
    const int steps[] = {4, 4, 4, 2, 2, 2};
    for (int p = 0; p < 6; ++p) {
        out += std::string("\n\n ") + names[p] + " paso\n\n";
        for (int i = starts[p]; i < lines; i += steps[p]) {
            std::snprintf(text, sizeof text, "\tLinea %d          \r     ", i + 1);
            out += text;
        }
    }
    return out;
}

// The writer's rounding (value + 0.5 in extended precision, truncated) and
// its descriptor (extremes from one million and 0, strict comparisons).
std::vector<int32_t> rounded(const std::vector<std::vector<double>>& dtab) {
    std::vector<int32_t> out;
    for (const auto& row : dtab)
        for (const double v : row) out.push_back(static_cast<int32_t>(static_cast<long double>(v) + 0.5L));
    return out;
}

std::string descriptor(int lines, int columns, const std::vector<int32_t>& raster) {
    int32_t min = 1000000, max = 0;
    for (const int32_t v : raster) {
        if (v < min) min = v;
        if (v > max) max = v;
    }
    return std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n" + std::to_string(min) + "\n" +
           std::to_string(max) + "\n10\n";
}

class ChannelRun : public ::testing::Test {
protected:
    BinaryRun run(const RunAnswers& answers) {
        return run_binary(lorvantide_binary(), temp_.path().string(), answers.text(),
                          {{"LORVANTIDE_IMAGES", images_}});
    }
    std::string result_raw() const { return read_file(folder_ + "/resultado_m4.raw"); }
    std::string result_txt() const { return read_file(folder_ + "/resultado_m4.txt"); }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1";
};

// One line of seven channel pixels, railing and contour on every pixel, the
// slope rising by 10 a column.
void write_one_line(const std::string& folder) {
    write_elevation_pair(folder, "valle", 1, 7, {0, 10, 20, 30, 40, 50, 60});
    const std::vector<unsigned char> all(7, 255);
    write_mask_pair(folder, "bar", 1, 7, all);
    write_mask_pair(folder, "cauce", 1, 7, all);
    write_mask_pair(folder, "curva", 1, 7, all);
}

TEST_F(ChannelRun, OneLineWorkedByHand) {
    write_one_line(folder_);
    RunAnswers answers;
    answers.alti_bar = "0";
    answers.alti_lim = "100";
    const BinaryRun r = run(answers);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    // Pass 1: (0,0) and (0,4) halfway between 100 and the slope of the pixel
    // to their right (10 and 50); pass 4: (0,2) and (0,6) from their
    // neighbours two columns away; pass 6: the odd columns from both sides.
    EXPECT_EQ(result_raw(), little_endian_int32s({55, 60, 65, 70, 75, 75, 75}));
    EXPECT_EQ(result_txt(), "1\n7\n4\n55\n75\n10\n");
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) +
                         "\n\n primer paso\n\n\tLinea 0    Columna 0          \r     "
                         "\tLinea 0    Columna 4          \r     "
                         "\n\n segundo paso\n\n"
                         "\n\n tercer paso\n\n"
                         "\n\n cuarto paso\n\n\tLinea 1          \r     "
                         "\n\n quinto paso\n\n"
                         "\n\n sexto paso\n\n\tLinea 1          \r     "
                         "\n\n septimo paso\n\n");
}

TEST_F(ChannelRun, OneLineWithoutItsContourToneWarnsAndKeepsTheBase) {
    write_one_line(folder_);
    RunAnswers answers;
    answers.alti_bar = "0";
    answers.alti_lim = "100";
    answers.tono_lim = "256";  // no 8-bit pixel holds it
    const BinaryRun r = run(answers);
    EXPECT_EQ(r.exit_status, 0);
    // Without a contour line the two interpolated pixels take their base
    // elevation (10 and 50); the means follow from them.
    EXPECT_EQ(result_raw(), little_endian_int32s({10, 20, 30, 40, 50, 50, 50}));
    EXPECT_EQ(result_txt(), "1\n7\n4\n10\n50\n10\n");
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + progress_text(1, 7) +
                         "\n Aviso: 2 pixeles del cauce sin curva de nivel y 0 sin limite inferior a menos de "
                         "1500 pixeles \n");
}

// A 12x14 valley: the slope falls towards the middle line and along the
// columns; railing on the middle line, contour on the first and last lines,
// a channel with holes and one isolated pixel, a small lake.
struct Valley {
    static constexpr int32_t lines = 12, columns = 14;
    ReferenceInput input;

    explicit Valley(bool lake) {
        input.nb_lig = lines;
        input.nb_col = columns;
        input.presence = lake ? 1 : 0;
        input.tono_cauce = 200;
        input.tono_bar = 100;
        input.tono_lim = 50;
        input.tono_perim = 70;
        input.alti_bar = 3;
        input.alti_lim = 160;
        input.itab_in.assign(lines, std::vector<int32_t>(columns));
        input.tab_bar.assign(lines, std::vector<unsigned char>(columns, 0));
        input.tab_in = input.tab_bar;
        input.tab_curv = input.tab_bar;
        input.tab_perim = input.tab_bar;
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j) {
                input.itab_in[i][j] = 100 + 7 * (i > 6 ? i - 6 : 6 - i) - j;
                if (i == 6) input.tab_bar[i][j] = 100;
                if (i == 0 || (i == 11 && j < 13)) input.tab_curv[i][j] = 50;
                if (i >= 1 && i <= 10 && i != 6 && (i + 2 * j) % 9 != 0) input.tab_in[i][j] = 200;
            }
        input.tab_in[10][12] = 0;
        input.tab_in[11][13] = 200;  // no channel neighbour: interpolated in pass 5
        input.tab_perim[2][9] = 70;
        input.tab_perim[3][9] = 70;
        input.tab_perim[3][10] = 70;
    }

    void write(const std::string& folder) const {
        std::vector<int32_t> slope;
        std::vector<unsigned char> bar, cauce, curva, lago;
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j) {
                slope.push_back(input.itab_in[i][j]);
                bar.push_back(input.tab_bar[i][j]);
                cauce.push_back(input.tab_in[i][j]);
                curva.push_back(input.tab_curv[i][j]);
                lago.push_back(input.tab_perim[i][j]);
            }
        write_elevation_pair(folder, "valle", lines, columns, slope);
        write_mask_pair(folder, "bar", lines, columns, bar);
        write_mask_pair(folder, "cauce", lines, columns, cauce);
        write_mask_pair(folder, "curva", lines, columns, curva);
        write_mask_pair(folder, "lago", lines, columns, lago);
    }

    RunAnswers answers() const {
        RunAnswers a;
        a.presence = std::to_string(input.presence);
        a.tono_cauce = "200";
        a.tono_bar = "100";
        a.alti_bar = "3";
        a.tono_lim = "50";
        a.alti_lim = "160";
        a.tono_perim = "70";
        return a;
    }
};

TEST_F(ChannelRun, ValleyMatchesTheModelWithAndWithoutTheLake) {
    for (const bool lake : {false, true}) {
        const Valley valley(lake);
        valley.write(folder_);
        const ReferenceResult expected = reference_treatment(valley.input);
        const std::vector<int32_t> raster = rounded(expected.dtab);
        const BinaryRun r = run(valley.answers());
        EXPECT_EQ(r.exit_status, 0) << "lake " << lake;
        EXPECT_EQ(r.err, "") << "lake " << lake;
        EXPECT_EQ(r.out, dt::opening(lake) + dt::parameters(lake) + expected.console) << "lake " << lake;
        EXPECT_EQ(expected.console, progress_text(Valley::lines, Valley::columns)) << "no search may miss here";
        EXPECT_EQ(result_raw(), little_endian_int32s(raster)) << "lake " << lake;
        EXPECT_EQ(result_txt(), descriptor(Valley::lines, Valley::columns, raster)) << "lake " << lake;
    }
    // The lake changes the base of the pixels nearest to it.
    const std::vector<int32_t> without = rounded(reference_treatment(Valley(false).input).dtab);
    const std::vector<int32_t> with = rounded(reference_treatment(Valley(true).input).dtab);
    EXPECT_NE(without, with);
}

}  // namespace
