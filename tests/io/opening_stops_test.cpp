// Every way the input dialog stops a run: what it prints, and that it prints
// no further prompt and creates no result.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "console_capture.hpp"
#include "dialog_text.hpp"
#include "raster_files.hpp"
#include "run_grids.hpp"
#include "stages.hpp"
#include "temp_folder.hpp"

namespace dt = dialog_text;

namespace {

class OpeningStops : public ::testing::Test {
protected:
    void SetUp() override { write_scenario(images_, 3, 5); }

    // Runs the dialog on `answers`; expects a fatal stop whose output is exactly `printed`.
    void expect_stop(const std::string& answers, const std::string& printed) {
        ConsoleCapture io(answers);
        ::Run run;
        EXPECT_EQ(opening(run, io.console), Outcome::fatal_stop) << answers;
        EXPECT_EQ(io.printed(), printed) << answers;
        EXPECT_FALSE(std::filesystem::exists(folder_ + "resultado_m4.raw")) << answers;
        EXPECT_EQ(run.f5, nullptr);
    }

    TempFolder temp_;
    std::string images_ = (temp_ / "images");
    std::string folder_ = images_ + "/rio1/";
    ScopedImageRoot root_{images_};
};

const std::string kUpToRailing = dt::kBanner + dt::kFolder + dt::kSlope + dt::kRailing;
const std::string kUpToChannel = kUpToRailing + dt::kChannel;
const std::string kUpToContour = kUpToChannel + dt::kContour;
const std::string kUpToMenu = kUpToContour + dt::kMenu;

std::string descriptor_message(const std::string& path) {
    return "\n El descriptor " + path + " no empieza con dos enteros decimales no negativos (lineas y columnas) \n";
}

}  // namespace

TEST_F(OpeningStops, AMissingRawFileIsNamedByItsHostPathAndItsDescriptorIsNotTried) {
    std::filesystem::remove(folder_ + "valle_m4.raw");
    ConsoleCapture io("rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::fatal_stop);
    EXPECT_EQ(io.printed(), dt::kBanner + dt::kFolder + dt::kSlope + dt::no_file(folder_ + "valle_m4.raw"));
    EXPECT_EQ(run.f1d, nullptr);

    // A name that designates nothing at all, for a mask.
    write_scenario(images_, 3, 5);
    expect_stop("rio1\nvalle\nbarr\n", kUpToRailing + dt::no_file(folder_ + "barr.raw"));
    // A missing sub-folder.
    expect_stop("rio2\nvalle\n", dt::kBanner + dt::kFolder + dt::kSlope + dt::no_file(images_ + "/rio2/valle_m4.raw"));
}

TEST_F(OpeningStops, AMissingDescriptorIsNamedByItsHostPath) {
    std::filesystem::remove(folder_ + "valle_m4.txt");
    expect_stop("rio1\nvalle\n", dt::kBanner + dt::kFolder + dt::kSlope + dt::no_file(folder_ + "valle_m4.txt"));
    write_scenario(images_, 3, 5);
    std::filesystem::remove(folder_ + "bar.txt");
    expect_stop("rio1\nvalle\nbar\n", kUpToRailing + dt::no_file(folder_ + "bar.txt"));
    write_scenario(images_, 3, 5);
    std::filesystem::remove(folder_ + "lago.txt");
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n1\nlago\n",
                kUpToMenu + dt::kPerimeter + dt::no_file(folder_ + "lago.txt"));
}

TEST_F(OpeningStops, AMaskOneLineOrOneColumnOffStopsWithItsSizeMessage) {
    struct Mask {
        std::string name;
        std::string answers;  // the dialog up to this mask's name
        std::string printed;  // the dialog up to this mask's prompt
        std::string message;
    };
    const Mask masks[] = {
        {"bar", "rio1\nvalle\nbar\n", kUpToRailing, dt::kSizeRailing},
        {"cauce", "rio1\nvalle\nbar\ncauce\n", kUpToChannel, dt::kSizeChannel},
        {"curva", "rio1\nvalle\nbar\ncauce\ncurva\n", kUpToContour, dt::kSizeContour},
        {"lago", "rio1\nvalle\nbar\ncauce\ncurva\n1\nlago\n", kUpToMenu + dt::kPerimeter, dt::kSizePerimeter},
    };
    for (const Mask& m : masks) {
        for (const char* descriptor : {"4\n5\n", "3\n6\n", "2 5", "3 4 4 0 255 10"}) {
            write_scenario(images_, 3, 5);
            write_file(folder_ + m.name + ".txt", descriptor);
            expect_stop(m.answers + "resultado\n", m.printed + m.message);
        }
    }
}

TEST_F(OpeningStops, AMaskDescriptorMayHoldSixIntegersOnOneLine) {
    write_file(folder_ + "cauce.txt", "3 5 1 0 255 10");
    ConsoleCapture io("rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
}

TEST_F(OpeningStops, ADescriptorWithoutTwoNonNegativeSizesIsNamed) {
    for (const char* descriptor : {"", "tres cinco", "3", "3 x", "-3 5 4 0 0 10", "3 -5", "3.5 5",
                                         "99999999999 5 4 0 0 10"}) {
        write_scenario(images_, 3, 5);
        write_file(folder_ + "valle_m4.txt", descriptor);
        expect_stop("rio1\nvalle\nbar\n", dt::kBanner + dt::kFolder + dt::kSlope +
                                                descriptor_message(folder_ + "valle_m4.txt"));
        write_scenario(images_, 3, 5);
        write_file(folder_ + "curva.txt", descriptor);
        expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n0\n", kUpToContour + descriptor_message(folder_ + "curva.txt"));
    }
}

TEST_F(OpeningStops, ASlopeDescriptorShortOfSixIntegersLeavesTheRestAtZero) {
    write_file(folder_ + "valle_m4.txt", "3\n5\n4\n");
    ConsoleCapture io("rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(run.byte, 4);
    EXPECT_EQ(run.min_dyn, 0);
    EXPECT_EQ(run.max_dyn, 0);
    EXPECT_EQ(run.pix_size, 0);
}

TEST_F(OpeningStops, TheEndOfTheAnswersStopsTheDialogWherever) {
    const std::string end = dt::kEndOfAnswers;
    expect_stop("", dt::kBanner + dt::kFolder + end);
    expect_stop("rio1\n", dt::kBanner + dt::kFolder + dt::kSlope + end);
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n", kUpToMenu + end);
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n5\nno\n", kUpToMenu + dt::kMenu + dt::kMenu + end);
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n1\n", kUpToMenu + dt::kPerimeter + end);
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n0\n", kUpToMenu + dt::kResult + end);
}

TEST_F(OpeningStops, AResultNameDesignatingAnInputIsAskedAgain) {
    const std::string clash_slope =
        "\n El archivo " + folder_ + "valle_m4.raw es uno de los archivos de entrada: el resultado necesita otro nombre \n";
    // A mask named x_m4 has the raw file of a result named x.
    std::filesystem::copy_file(folder_ + "curva.raw", folder_ + "x_m4.raw");
    std::filesystem::copy_file(folder_ + "curva.txt", folder_ + "x_m4.txt");
    const std::string clash_mask =
        "\n El archivo " + folder_ + "x_m4.raw es uno de los archivos de entrada: el resultado necesita otro nombre \n";
    // Another name for the railing's descriptor, through a link.
    std::filesystem::create_symlink(folder_ + "bar.txt", folder_ + "enlace_m4.txt");
    const std::string clash_link =
        "\n El archivo " + folder_ + "enlace_m4.txt es uno de los archivos de entrada: el resultado necesita otro nombre \n";

    const std::string slope_raw = read_file(folder_ + "valle_m4.raw");
    ConsoleCapture io("rio1\nvalle\nbar\ncauce\nx_m4\n0\nvalle\nx\nenlace\nresultado\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), kUpToMenu + dt::kResult + clash_slope + dt::kResult + clash_mask + dt::kResult +
                                clash_link + dt::kResult);
    EXPECT_EQ(run.nomim5, folder_ + "resultado_m4.raw");
    // No input was emptied.
    EXPECT_EQ(read_file(folder_ + "valle_m4.raw"), slope_raw);
    EXPECT_EQ(read_file(folder_ + "x_m4.raw"), read_file(folder_ + "curva.raw"));
    EXPECT_EQ(read_file(folder_ + "bar.txt"), "3\n5\n");
}

TEST_F(OpeningStops, AResultPairThatCannotBeCreatedIsNamed) {
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n0\nno/existe\n",
                kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ + "no/existe_m4.raw \n");
    // The raster can be created but not its descriptor.
    std::filesystem::create_directory(folder_ + "soloraw_m4.txt");
    ConsoleCapture io("rio1\nvalle\nbar\ncauce\ncurva\n0\nsoloraw\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::fatal_stop);
    EXPECT_EQ(io.printed(),
              kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ + "soloraw_m4.txt \n");
}

TEST_F(OpeningStops, ARasterTooLargeForMemorySaysWhatItNeedsBeforeAnyResultExists) {
    // 1000000 x 1000000: 20 bytes per pixel and seven row tables.
    write_file(folder_ + "valle_m4.txt", "1000000 1000000 4 0 0 10");
    for (const char* mask : {"bar", "cauce", "curva"}) write_file(folder_ + mask + ".txt", "1000000 1000000");
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n",
                kUpToMenu + dt::kResult +
                    "\n No hay memoria para la imagen de 1000000 lineas y 1000000 columnas: necesita 20000056000000 "
                    "bytes \n");
    // The largest sizes: their bytes cannot even be counted in 64 bits.
    write_file(folder_ + "valle_m4.txt", "2147483647 2147483647 4 0 0 10");
    for (const char* mask : {"bar", "cauce", "curva", "lago"})
        write_file(folder_ + mask + ".txt", "2147483647 2147483647");
    expect_stop("rio1\nvalle\nbar\ncauce\ncurva\n1\nlago\nresultado\n",
                kUpToMenu + dt::kPerimeter + dt::kResult +
                    "\n No hay memoria para la imagen de 2147483647 lineas y 2147483647 columnas: necesita mas de "
                    "18446744073709551615 bytes \n");
}

TEST(RunGridBytes, CountsEveryGridOfTheRunWithItsRowTable) {
    // Per pixel: three masks (1 each), two 32-bit grids, the double grid and
    // the 8-bit work grid; per line: one row pointer for each of the 7 grids.
    EXPECT_EQ(run_grid_bytes(3, 5, false).bytes, 3u * (5u * 20u + 7u * sizeof(void*)));
    EXPECT_EQ(run_grid_bytes(3, 5, true).bytes, 3u * (5u * 21u + 8u * sizeof(void*)));
    EXPECT_EQ(run_grid_bytes(0, 5, true).bytes, 0u);
    EXPECT_EQ(run_grid_bytes(5, 0, true).bytes, 0u);
    // 2^31-1 squared pixels of 20 bytes exceed 2^64.
    EXPECT_FALSE(run_grid_bytes(2147483647, 2147483647, false).countable);
    EXPECT_TRUE(run_grid_bytes(2147483647, 1, false).countable);
}
