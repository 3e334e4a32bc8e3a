// The result writer in-process: rounding, extremes, the raster and its
// descriptor, and a result that cannot be written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "console_capture.hpp"
#include "nrutil.hpp"
#include "raster_files.hpp"
#include "rounding.hpp"
#include "stages.hpp"
#include "temp_folder.hpp"

namespace {

// A run ready for the writer: dtab holds `values` line by line, the result
// pair is open under a temporary folder (or on the given paths).
class ToSave {
public:
    ToSave(int32_t lines, int32_t columns, const std::vector<double>& values, int32_t pix_size = 10) {
        run.nb_lig = lines;
        run.nb_col = columns;
        run.pix_size = pix_size;
        run.dtab = dmatrice(columns, lines);
        run.itab_out = imatrice(columns, lines);
        for (int32_t i = 0; i < lines; ++i)
            for (int32_t j = 0; j < columns; ++j) run.dtab[i][j] = values[static_cast<std::size_t>(i * columns + j)];
        open_result(temp / "resultado_m4.raw", temp / "resultado_m4.txt");
    }

    void open_result(const std::string& raw, const std::string& descriptor) {
        if (run.f5 != nullptr) std::fclose(run.f5);
        if (run.f5d != nullptr) std::fclose(run.f5d);
        run.nomim5 = raw;
        run.nomdescr5 = descriptor;
        run.f5 = std::fopen(raw.c_str(), "wb");
        run.f5d = std::fopen(descriptor.c_str(), "w");
    }

    std::vector<int32_t> raster() const { return int32s_from_little_endian(read_file(run.nomim5)); }
    std::string descriptor() const { return read_file(run.nomdescr5); }

    TempFolder temp;
    ::Run run;
};

}  // namespace

TEST(Rounding, AddsAHalfInExtendedPrecisionAndTruncatesTowardZero) {
    const std::pair<double, int32_t> table[] = {
        {12.5, 13}, {12.49, 12}, {0.0, 0}, {-0.5, 0}, {-1.2, 0}, {-1.5, -1}, {-2.7, -2}, {-2.5, -2},
        {-3.5, -3}, {2.5, 3},    {std::nextafter(0.5, 0.0), 0}, {0.5, 1}, {-0.0, 0}, {149.9999, 150},
    };
    for (auto [value, expected] : table) EXPECT_EQ(round_elevation(value), expected) << value;
}

TEST(Rounding, ElevationsBeyondThe32BitRangeSaturate) {
    constexpr int32_t top = std::numeric_limits<int32_t>::max();
    constexpr int32_t bottom = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(round_elevation(2147483646.4), 2147483646);
    EXPECT_EQ(round_elevation(2147483646.5), top);
    EXPECT_EQ(round_elevation(2147483647.0), top);
    EXPECT_EQ(round_elevation(1e300), top);
    EXPECT_EQ(round_elevation(std::numeric_limits<double>::infinity()), top);
    EXPECT_EQ(round_elevation(-2147483648.0), -2147483647);  // the sum -2147483647.5 truncates toward zero
    EXPECT_EQ(round_elevation(-2147483648.9), bottom);
    EXPECT_EQ(round_elevation(-2147483649.6), bottom);
    EXPECT_EQ(round_elevation(-1e300), bottom);
    EXPECT_EQ(round_elevation(-std::numeric_limits<double>::infinity()), bottom);
    EXPECT_EQ(round_elevation(std::nan("")), 0);
}

TEST(Save, WritesTheRoundedRasterAndASixLineDescriptor) {
    ToSave s(2, 3, {12.5, 0.0, -2.7, 149.6, 12.49, -0.5}, 25);
    ConsoleCapture io("");
    EXPECT_EQ(save(s.run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), "");
    EXPECT_EQ(read_file(s.run.nomim5).size(), 4u * 2u * 3u);
    EXPECT_EQ(s.raster(), (std::vector<int32_t>{13, 0, -2, 150, 12, 0}));
    EXPECT_EQ(s.run.itab_out[1][0], 150);
    EXPECT_EQ(s.descriptor(), "2\n3\n4\n-2\n150\n25\n");
    EXPECT_EQ(s.run.f5, nullptr);
    EXPECT_EQ(s.run.f5d, nullptr);
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
        ConsoleCapture io("");
        EXPECT_EQ(save(s.run, io.console), Outcome::go_on);
        EXPECT_EQ(s.descriptor(), c.descriptor);
    }
}

TEST(Save, AnEmptyRasterWritesAnEmptyFileAndItsDescriptor) {
    ToSave s(4, 0, {}, 5);
    ConsoleCapture io("");
    EXPECT_EQ(save(s.run, io.console), Outcome::go_on);
    EXPECT_EQ(read_file(s.run.nomim5), "");
    EXPECT_EQ(s.descriptor(), "4\n0\n4\n1000000\n0\n5\n");
}

TEST(Save, AResultThatCannotBeWrittenCompletelyIsReportedAsFailed) {
    // The raster on a full disk: no descriptor is written.
    {
        ToSave s(2, 3, std::vector<double>(6, 1.0));
        s.open_result("/dev/full", s.temp / "resultado_m4.txt");
        ConsoleCapture io("");
        EXPECT_EQ(save(s.run, io.console), Outcome::failed);
        EXPECT_EQ(io.printed(), "\n No se pudo escribir completo el archivo /dev/full: el resultado no es valido \n");
        EXPECT_EQ(s.descriptor(), "");
        EXPECT_EQ(s.run.f5, nullptr);
        EXPECT_EQ(s.run.f5d, nullptr);
    }
    // The raster complete, its descriptor on a full disk.
    {
        ToSave s(2, 3, std::vector<double>(6, 1.0));
        s.open_result(s.temp / "resultado_m4.raw", "/dev/full");
        ConsoleCapture io("");
        EXPECT_EQ(save(s.run, io.console), Outcome::failed);
        EXPECT_EQ(io.printed(), "\n No se pudo escribir completo el archivo /dev/full: el resultado no es valido \n");
        EXPECT_EQ(s.raster(), std::vector<int32_t>(6, 1));
    }
}
