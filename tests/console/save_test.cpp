// The result writer in-process: rounding, extremes, the raster and its
// descriptor, and a result that cannot be written (which replaces nothing).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "tests/support/console_capture.hpp"
#include "tests/support/raster_files.hpp"
#include "files/rounding.hpp"
#include "console/stages.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// A run ready for the writer: dtab holds `values` line by line, the result
// pair is open under a temporary folder (or on the paths given).
struct ToSave {
    // Every pixel held, as if every one were in the channel; or only those
    // whose `channel` byte is 1 (and those between them on each line).
    ToSave(int32_t lines, int32_t columns, const std::vector<double>& values, int32_t pix_size = 10,
           const std::vector<unsigned char>& channel = {}) {
        run.nb_lig = lines;
        run.nb_col = columns;
        run.pix_size = pix_size;
        Grid<unsigned char> zone = Grid<unsigned char>::make(lines, columns);
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j)
                zone[i][j] = channel.empty() ? 1 : channel[static_cast<std::size_t>(i * columns + j)];
        run.dtab = Elevations::for_channel(zone.view(), Tone(1));
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j)
                if (zone[i][j] == 1) run.dtab(i, j) = values[static_cast<std::size_t>(i * columns + j)];
        open_result(temp / "resultado_m4.raw", temp / "resultado_m4.txt");
    }
    void open_result(const std::string& raw, const std::string& descriptor) {
        FilePair& result = run.pair(Role::result);
        result.raw_path = raw;
        result.descriptor_path = descriptor;
        auto writer = std::make_shared<AtomicOutputs>();
        for (const std::string& path : {raw, descriptor}) EXPECT_EQ(writer->add(path), AtomicOutputs::Claim::ok);
        EXPECT_NE(writer->create_stream(0, "wb"), nullptr);
        EXPECT_NE(writer->create_stream(1, "w"), nullptr);
        run.result_writer = std::move(writer);
    }
    // Runs the writer, which must end with `outcome` and be done with the
    // result pair; returns what it printed.
    std::string save(Outcome outcome = Outcome::go_on) {
        ConsoleCapture io("");
        EXPECT_EQ(::save(run, io.console), outcome);
        EXPECT_FALSE(run.result_writer);
        return io.printed();
    }
    std::vector<int32_t> raster() const {
        return int32s_from_little_endian(read_file(run.pair(Role::result).raw_path));
    }
    std::string descriptor() const { return read_file(run.pair(Role::result).descriptor_path); }

    TempFolder temp;
    ::Run run;
};

// Each side of every half and whole number near small values, near the
// elevations of real rasters and at both ends of the 32-bit range, values
// that are not elevations at all, and random ones.
std::vector<double> tricky_values() {
    std::vector<double> values = {0.0, -0.0, std::numeric_limits<double>::denorm_min(), 1e-300,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::nan(""), 1e300, -1e300, 4503599627370495.5, 4503599627370496.0,
                                  9007199254740993.0};
    for (double base : {0.0, 1.0, 2.0, 149.0, 62000.0, 1048576.0, 2147483645.0, 2147483646.0, 2147483647.0,
                        2147483648.0, -1.0, -2.0, -3.0, -2147483647.0, -2147483648.0, -2147483649.0}) {
        for (double offset : {0.0, 0.5, 1.0}) {
            const double v = base + offset;
            values.push_back(v);
            values.push_back(std::nextafter(v, -INFINITY));
            values.push_back(std::nextafter(v, INFINITY));
        }
    }
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> elevation(-5000.0, 100000.0);
    for (int k = 0; k < 2000; ++k) values.push_back(elevation(random));
    for (int k = 0; k < 200; ++k) values.push_back(std::ldexp(elevation(random), static_cast<int>(k % 40) - 20));
    return values;
}

}  // namespace

TEST(Rounding, AddsAHalfInExtendedPrecisionTruncatesTowardZeroAndSaturates) {
    constexpr int32_t top = std::numeric_limits<int32_t>::max();
    constexpr int32_t bottom = std::numeric_limits<int32_t>::min();
    const std::pair<double, int32_t> table[] = {
        {12.5, 13}, {12.49, 12}, {0.0, 0}, {-0.5, 0}, {-1.2, 0}, {-1.5, -1}, {-2.7, -2}, {-2.5, -2}, {-3.5, -3},
        {2.5, 3}, {std::nextafter(0.5, 0.0), 0}, {0.5, 1}, {-0.0, 0}, {149.9999, 150},
        {2147483646.4, 2147483646}, {2147483646.5, top}, {2147483647.0, top}, {1e300, top},
        {std::numeric_limits<double>::infinity(), top},
        {-2147483648.0, -2147483647},  // the sum -2147483647.5 truncates toward zero
        {-2147483648.9, bottom}, {-2147483649.6, bottom}, {-1e300, bottom},
        {-std::numeric_limits<double>::infinity(), bottom}, {std::nan(""), 0},
    };
    for (auto [value, expected] : table) EXPECT_EQ(round_elevation(value), expected) << value;
}

TEST(Save, EveryStoredValueIsThatOfRoundElevationOnAnyNumberOfThreads) {
    // The writer rounds most elevations without the extended-precision
    // conversion, and bands of lines on the threads.
    std::vector<double> values = tricky_values();
    constexpr int32_t lines = 8;
    const auto columns = static_cast<int32_t>((values.size() + lines - 1) / lines);
    values.resize(static_cast<std::size_t>(lines * columns), 0.5);
    std::vector<int32_t> expected;
    for (const double v : values) expected.push_back(round_elevation(v));
    for (const int32_t threads : {1, 3, 8}) {
        ToSave s(lines, columns, values, 1);
        s.run.threads = threads;
        EXPECT_EQ(s.save(), "");
        EXPECT_EQ(s.raster(), expected) << threads << " threads";
        EXPECT_EQ(s.descriptor(), result_descriptor(lines, columns, expected, 1)) << threads << " threads";
    }
}

TEST(Save, AChannelAcrossARasterWritesItsPixelsIntoAFileOfZeros) {
    // Runs of channel pixels at random, with gaps shorter and longer than a
    // page, whole lines without any (on the widest raster, a gap the writer
    // leaves unwritten), and channel pixels that round to 0; every pixel
    // outside the channel reads 0 and counts among the extremes.
    std::mt19937 random(20);
    for (const int32_t columns : {1, 7, 9000}) {
        const int32_t lines = 9;
        std::vector<unsigned char> channel(static_cast<std::size_t>(lines * columns), 0);
        std::vector<double> values(channel.size(), 0.0);
        std::vector<int32_t> expected(channel.size(), 0);
        for (int32_t i = 0; i < lines; ++i) {
            if (i % 4 == 3) continue;
            for (int32_t j = 0; j < columns;) {
                const int32_t gap = std::uniform_int_distribution<int32_t>(0, i % 2 == 0 ? 40 : 1500)(random);
                const int32_t run_length = std::uniform_int_distribution<int32_t>(1, 30)(random);
                for (int32_t k = j + gap; k < std::min(columns, j + gap + run_length); ++k) {
                    const auto p = static_cast<std::size_t>(i * columns + k);
                    channel[p] = 1;
                    // On the narrow raster every channel pixel is high: its
                    // least value is that of the pixels outside the channel.
                    values[p] = columns == 7   ? std::uniform_real_distribution<double>(1000.0, 2000.0)(random)
                                : k % 5 == 0   ? 0.3
                                               : std::uniform_real_distribution<double>(-900.0, 90000.0)(random);
                    expected[p] = round_elevation(values[p]);
                }
                j += gap + run_length;
            }
        }
        for (const int32_t threads : {1, 3}) {
            ToSave s(lines, columns, values, 10, channel);
            s.run.threads = threads;
            EXPECT_EQ(s.save(), "");
            EXPECT_EQ(s.raster(), expected) << columns << " columns, " << threads << " threads";
            EXPECT_EQ(s.descriptor(), result_descriptor(lines, columns, expected, 10));
        }
    }
}

TEST(Save, ExtremesStartAtOneMillionAndZero) {
    struct Case {
        std::vector<double> values;
        std::string descriptor;
    };
    const Case cases[] = {
        {{0.0, 0.0}, "1\n2\n4\n0\n0\n10\n"},                         // no channel pixel
        {{2000000.0, 3000000.0}, "1\n2\n4\n1000000\n3000000\n10\n"},  // the minimum no pixel holds
        {{-5.0, -7.0}, "1\n2\n4\n-6\n0\n10\n"},                       // the maximum no pixel holds
        {{1000000.0, 999999.4}, "1\n2\n4\n999999\n1000000\n10\n"},
        {{3e9, -3e9}, "1\n2\n4\n-2147483648\n2147483647\n10\n"},
    };
    for (const Case& c : cases) {
        ToSave s(1, 2, c.values);
        s.save();
        EXPECT_EQ(s.descriptor(), c.descriptor);
    }
}

TEST(Save, AResultThatCannotBeWrittenCompletelyIsReportedAndReplacesNothing) {
    // Files of at most 8 bytes (the signal that would end the process is
    // ignored, so the write fails): a raster of 6 pixels cannot be written, one
    // of a pixel can but not its descriptor.
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &before);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto lost = [](const std::string& path) {
        return "\n No se pudo escribir completo el archivo " + path + ": no se escribio ningun resultado \n";
    };
    for (const int32_t pixels : {6, 1}) {
        ToSave s(1, pixels, std::vector<double>(static_cast<std::size_t>(pixels), 1.0));
        const FilePair& result = s.run.pair(Role::result);
        write_file(result.raw_path, "old raster");
        write_file(result.descriptor_path, "old descriptor");
        const rlimit small{8, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        const std::string printed = s.save(Outcome::failed);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(printed, lost(pixels == 6 ? result.raw_path : result.descriptor_path));
        EXPECT_EQ(read_file(result.raw_path), "old raster");
        EXPECT_EQ(read_file(result.descriptor_path), "old descriptor");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.temp.path()), {}), 2) << "temporaries left";
    }
    sigaction(SIGXFSZ, &before, nullptr);
}
