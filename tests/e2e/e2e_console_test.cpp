// Complete runs of the real program, answers piped in: exit status, every byte
// on the console and the result pair, for good runs and for every way a run
// ends early or meets input the machine cannot hold (more in tests/faults).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"
#include "tests/support/dialog_text.hpp"

namespace dt = dialog_text;

TEST_F(ConsoleRun, WithoutChannelPixelsOverwritesThePreviousResultWithZeros) {
    write_scenario(images_, 9, 7);
    write_file(folder_ + "resultado_m4.raw", std::string(1000, 'x'));
    write_file(folder_ + "resultado_m4.txt", "previous\n");
    RunAnswers answers;
    answers.tono_cauce = "7";  // a tone no pixel of the channel mask holds
    const BinaryRun r = run(answers);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + dt::computation(9, 7));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(result_raw(), std::string(4 * 9 * 7, '\0'));
    EXPECT_EQ(result_txt(), "9\n7\n4\n0\n0\n10\n");
}

TEST(BundledSample, RunsWithItsAnswersAndWritesAResultOfTheRightSize) {
    TempFolder work;
    const ChildRequest sample = sample_run(work);
    const std::string folder = work / "images/rio1/";
    std::filesystem::remove(folder + "resultado_m4.raw");
    std::filesystem::remove(folder + "resultado_m4.txt");
    const BinaryRun r = run_child(sample);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(true) + dt::parameters(true) + dt::computation(60, 80));
    const std::vector<int32_t> raster = int32s_from_little_endian(read_file(folder + "resultado_m4.raw"));
    ASSERT_EQ(raster.size(), 60u * 80u);
    EXPECT_EQ(read_file(folder + "resultado_m4.txt"), result_descriptor(60, 80, raster));
    // The channel's elevations lie between the river's and the contour's.
    const std::string channel = read_file(folder + "cauce.raw");
    for (std::size_t k = 0; k < raster.size(); ++k) {
        if (static_cast<unsigned char>(channel[k]) == 255) {
            EXPECT_GE(raster[k], 100) << k;
            EXPECT_LE(raster[k], 150) << k;
        } else {
            EXPECT_EQ(raster[k], 0) << k;
        }
    }
}

TEST_F(ConsoleRun, AStopEndsWithStatusOneWithoutWaitingOrBlockingAndCreatesNoResult) {
    // A missing input, and a FIFO in its place (never opened in a way that
    // could wait for a writer).
    for (const bool fifo : {false, true}) {
        write_scenario(images_, 5, 6);
        std::filesystem::remove(folder_ + "cauce.raw");
        if (fifo) {
            ASSERT_EQ(mkfifo((folder_ + "cauce.raw").c_str(), 0600), 0);
        }
        const BinaryRun r = run(RunAnswers{});
        SCOPED_TRACE(fifo ? "fifo" : "missing");
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.out, dt::kUpToChannel + (fifo ? "\n El archivo " + folder_ +
                                                        "cauce.raw no es un archivo regular: no se puede leer \n"
                                                  : dt::no_file(folder_ + "cauce.raw")));
        EXPECT_FALSE(std::filesystem::exists(folder_ + "resultado_m4.raw"));
        EXPECT_FALSE(std::filesystem::exists(folder_ + "resultado_m4.txt"));
        std::filesystem::remove(folder_ + "cauce.raw");
    }
}

TEST_F(ConsoleRun, AnEmptyRasterRunsToTheEnd) {
    for (auto [lines, columns] : {std::pair{0, 6}, std::pair{5, 0}, std::pair{0, 0}}) {
        write_scenario(images_, lines, columns);
        RunAnswers answers;
        answers.presence = "1";
        const BinaryRun r = run(answers);
        SCOPED_TRACE(std::to_string(lines) + "x" + std::to_string(columns));
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, dt::opening(true) + dt::parameters(true) + dt::computation(lines, columns));
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(result_raw(), "");
        EXPECT_EQ(result_txt(), std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n1000000\n0\n10\n");
    }
}

TEST_F(ConsoleRun, GridsThatCannotBeAllocatedStopBeforeTheResultIsCreated) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    // 492 MB of grids and maps within a 256 MB address space. The raw files
    // are as long as the descriptors say (sparse: they take no room).
    write_scenario(images_, 5, 6);
    write_file(folder_ + "valle_m4.txt", "5000 5000 4 0 0 10");
    std::filesystem::resize_file(folder_ + "valle_m4.raw", 5000ull * 5000ull * 4ull);
    for (const char* mask : {"bar", "cauce", "curva"}) {
        write_file(folder_ + mask + ".txt", "5000 5000");
        std::filesystem::resize_file(folder_ + mask + ".raw", 5000ull * 5000ull);
    }
    const BinaryRun r = run(RunAnswers{}.text(), {}, 256ull << 20);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, dt::kUpToMenu + dt::kResult +
                         "\n No hay memoria para la imagen de 5000 lineas y 5000 columnas: necesita 493237216 "
                         "bytes \n");
    EXPECT_FALSE(std::filesystem::exists(folder_ + "resultado_m4.raw"));
#endif
}

TEST_F(ConsoleRun, ElevationsBeyondThe32BitRangeSaturate) {
    // Every channel elevation lies between the railing's slope elevation less
    // a negative railing height, 2147485000, and the contour's 2147483647:
    // none fits below the top of the range, so every channel pixel holds it.
    write_scenario(images_, 5, 6);
    write_elevation_pair(folder_, "valle", 5, 6, std::vector<int32_t>(30, 2147483000));
    RunAnswers answers;
    answers.alti_bar = "-2000";
    answers.alti_lim = "2147483647";
    EXPECT_EQ(run(answers).exit_status, 0);
    const std::vector<int32_t> raster = int32s_from_little_endian(result_raw());
    ASSERT_EQ(raster.size(), 30u);
    for (std::size_t k = 0; k < raster.size(); ++k) {
        const std::size_t line = k / 6;
        EXPECT_EQ(raster[k], line == 0 || line == 2 || line == 4 ? 0 : 2147483647) << k;
    }
    EXPECT_EQ(result_txt(), "5\n6\n4\n0\n2147483647\n10\n");
}
