// The writer rounds most elevations without the extended-precision
// conversion: every value it stores must be the one round_elevation gives,
// around every half, at the ends of the 32-bit range and beyond.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "console_capture.hpp"
#include "nrutil.hpp"
#include "raster_files.hpp"
#include "rounding.hpp"
#include "stages.hpp"
#include "temp_folder.hpp"

namespace {

std::vector<double> tricky_values() {
    std::vector<double> values = {0.0, -0.0, std::numeric_limits<double>::denorm_min(), 1e-300,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::nan(""), 1e300, -1e300, 4503599627370495.5, 4503599627370496.0,
                                  9007199254740993.0};
    // Each side of every half and whole number near small values, near the
    // elevations of real rasters and at the top and bottom of the range.
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

TEST(SaveRounding, EveryStoredValueIsThatOfRoundElevation) {
    const std::vector<double> values = tricky_values();
    const auto columns = static_cast<int32_t>(values.size());
    TempFolder temp;
    ::Run run;
    run.nb_lig = 1;
    run.nb_col = columns;
    run.pix_size = 1;
    run.dtab = dmatrice(columns, 1);
    run.itab_out = imatrice(columns, 1);
    for (int32_t j = 0; j < columns; ++j) run.dtab[0][j] = values[static_cast<std::size_t>(j)];
    run.nomim5 = temp / "r_m4.raw";
    run.nomdescr5 = temp / "r_m4.txt";
    run.f5 = std::fopen(run.nomim5.c_str(), "wb");
    run.f5d = std::fopen(run.nomdescr5.c_str(), "w");
    ConsoleCapture io("");
    ASSERT_EQ(save(run, io.console), Outcome::go_on);
    const std::vector<int32_t> written = int32s_from_little_endian(read_file(run.nomim5));
    ASSERT_EQ(written.size(), values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        EXPECT_EQ(written[k], round_elevation(values[k])) << values[k];
        EXPECT_EQ(run.itab_out[0][k], written[k]);
    }
}

}  // namespace
