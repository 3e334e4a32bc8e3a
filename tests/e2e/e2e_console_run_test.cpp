// Complete runs of the real program, answers piped in: exit status, every byte
// on the console, and the result pair.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dialog_text.hpp"
#include "raster_files.hpp"
#include "run_binary.hpp"
#include "temp_folder.hpp"

namespace dt = dialog_text;

namespace {

// The computation's headings and progress lines, which depend on the raster
// size alone: pass 1 prints every fourth column of every fourth line counted
// from 0, passes 2 to 7 one line each, counted from 1.
std::string computation_text(int lines, int columns) {
    char buffer[96];
    std::string text = "\n\n primer paso\n\n";
    for (int i = 0; i < lines; i += 4) {
        for (int j = 0; j < columns; j += 4) {
            std::snprintf(buffer, sizeof buffer, "\tLinea %d    Columna %d          \r     ", i, j);
            text += buffer;
        }
    }
    struct Pass {
        const char* heading;
        int start;
        int step;
    };
    for (const Pass& pass : {Pass{"\n\n segundo paso\n\n", 2, 4}, Pass{"\n\n tercer paso\n\n", 2, 4},
                             Pass{"\n\n cuarto paso\n\n", 0, 4}, Pass{"\n\n quinto paso\n\n", 1, 2},
                             Pass{"\n\n sexto paso\n\n", 0, 2}, Pass{"\n\n septimo paso\n\n", 1, 2}}) {
        text += pass.heading;
        for (int i = pass.start; i < lines; i += pass.step) {
            std::snprintf(buffer, sizeof buffer, "\tLinea %d          \r     ", i + 1);
            text += buffer;
        }
    }
    return text;
}

// The descriptor's extremes follow from the raster: strict comparisons that
// start at one million and 0.
std::string descriptor_for(int lines, int columns, const std::vector<int32_t>& raster, int pix_size) {
    int32_t min = 1000000;
    int32_t max = 0;
    for (int32_t v : raster) {
        if (v < min) min = v;
        if (v > max) max = v;
    }
    return std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n" + std::to_string(min) + "\n" +
           std::to_string(max) + "\n" + std::to_string(pix_size) + "\n";
}

class CompleteRun : public ::testing::Test {
protected:
    BinaryRun run(const RunAnswers& answers) {
        return run_binary(lorvantide_binary(), temp_.path().string(), answers.text(), {{"LORVANTIDE_IMAGES", images_}});
    }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
};

}  // namespace

TEST(ComputationText, CountsLikeTheDocumentedProgressLines) {
    // 3 lines, 5 columns: pass 1 visits (0,0) and (0,4); passes 2 and 3
    // line 2; pass 4 line 0; passes 5 and 7 line 1; pass 6 lines 0 and 2.
    EXPECT_EQ(computation_text(3, 5),
              "\n\n primer paso\n\n\tLinea 0    Columna 0          \r     \tLinea 0    Columna 4          \r     "
              "\n\n segundo paso\n\n\tLinea 3          \r     \n\n tercer paso\n\n\tLinea 3          \r     "
              "\n\n cuarto paso\n\n\tLinea 1          \r     "
              "\n\n quinto paso\n\n\tLinea 2          \r     "
              "\n\n sexto paso\n\n\tLinea 1          \r     \tLinea 3          \r     "
              "\n\n septimo paso\n\n\tLinea 2          \r     ");
    // 2 lines: passes 2 and 3 visit none, their headings still print.
    EXPECT_NE(computation_text(2, 1).find("\n\n segundo paso\n\n\n\n tercer paso\n\n\n\n cuarto paso"), std::string::npos);
}

TEST_F(CompleteRun, WithoutChannelPixelsWritesZerosAndAnExactDescriptor) {
    write_scenario(images_, 9, 7);
    RunAnswers answers;
    answers.tono_cauce = "7";  // a tone no pixel of the channel mask holds
    const BinaryRun r = run(answers);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + computation_text(9, 7));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), std::string(4 * 9 * 7, '\0'));
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "9\n7\n4\n0\n0\n10\n");
}

TEST_F(CompleteRun, WithChannelAndWaterBodiesWritesTheWholeResultPair) {
    write_scenario(images_, 11, 13);
    RunAnswers answers;
    answers.presence = "1";
    const BinaryRun r = run(answers);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(true) + dt::parameters(true) + computation_text(11, 13));
    const std::string raw = read_file(folder_ + "resultado_m4.raw");
    ASSERT_EQ(raw.size(), 4u * 11u * 13u);
    const std::vector<int32_t> raster = int32s_from_little_endian(raw);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), descriptor_for(11, 13, raster, 10));
    // Only channel pixels (every line but the railing's and the contour's)
    // receive an elevation.
    for (int j = 0; j < 13; ++j) {
        EXPECT_EQ(raster[static_cast<std::size_t>(j)], 0) << j;
        EXPECT_EQ(raster[static_cast<std::size_t>(5 * 13 + j)], 0) << j;
        EXPECT_EQ(raster[static_cast<std::size_t>(10 * 13 + j)], 0) << j;
        EXPECT_NE(raster[static_cast<std::size_t>(2 * 13 + j)], 0) << j;
    }
}

TEST_F(CompleteRun, ARunOverwritesThePreviousResult) {
    write_scenario(images_, 4, 4);
    write_file(folder_ + "resultado_m4.raw", std::string(1000, 'x'));
    write_file(folder_ + "resultado_m4.txt", "previous\n");
    RunAnswers answers;
    answers.tono_cauce = "7";
    EXPECT_EQ(run(answers).exit_status, 0);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), std::string(64, '\0'));
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "4\n4\n4\n0\n0\n10\n");
}

TEST(BundledSample, RunsWithItsAnswersAndWritesAResultOfTheRightSize) {
    TempFolder work;
    std::filesystem::copy(std::string(LORVANTIDE_SOURCE_DIR) + "/sample", work.path(),
                          std::filesystem::copy_options::recursive);
    const std::string folder = work / "images/rio1/";
    std::filesystem::remove(folder + "resultado_m4.raw");
    std::filesystem::remove(folder + "resultado_m4.txt");
    // The sample's own folder: the image root is "images" under the current directory.
    const BinaryRun r = run_binary(lorvantide_binary(), work.path().string(), read_file(work / "answers.txt"),
                                   {{"LORVANTIDE_IMAGES", ""}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(true) + dt::parameters(true) + computation_text(60, 80));
    const std::string raw = read_file(folder + "resultado_m4.raw");
    ASSERT_EQ(raw.size(), 4u * 60u * 80u);
    const std::vector<int32_t> raster = int32s_from_little_endian(raw);
    EXPECT_EQ(read_file(folder + "resultado_m4.txt"), descriptor_for(60, 80, raster, 10));
    // The channel's elevations lie between the river's and the contour's.
    const std::vector<int32_t> slope = int32s_from_little_endian(read_file(folder + "valle_m4.raw"));
    const std::string channel = read_file(folder + "cauce.raw");
    for (std::size_t k = 0; k < raster.size(); ++k) {
        if (static_cast<unsigned char>(channel[k]) == 255) {
            EXPECT_GE(raster[k], 100) << k;
            EXPECT_LE(raster[k], 150) << k;
        } else {
            EXPECT_EQ(raster[k], 0) << k;
        }
    }
    EXPECT_EQ(slope.size(), raster.size());
}
