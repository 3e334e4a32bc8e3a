// The console program on the benchmark's dense floodplain and sparse river,
// byte for byte against the plainly written model over the literal ring
// search: every shortcut of the product (lazy ring tables, distance maps only
// where the channel's searches can look, channel elevations held line by
// line, threads) has to leave the result and the console text as the literal
// walk gives them, on rasters large enough for searches of a few hundred
// rings, lakes and channel reaching the borders.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/console_run.hpp"
#include "tests/scenarios/floodplain.hpp"
#include "tests/reference/reference_treatment.hpp"
#include "tests/scenarios/scenario_files.hpp"
#include "tests/scenarios/sparse_river.hpp"

namespace {

ReferenceInput reference_input(const Scenario& s) {
    ReferenceInput in;
    in.nb_lig = s.nb_lig;
    in.nb_col = s.nb_col;
    in.presence = s.presence;
    in.tono_cauce = s.tones.cauce;
    in.tono_bar = s.tones.bar;
    in.tono_lim = s.tones.lim;
    in.tono_perim = s.tones.perim;
    in.alti_bar = s.tones.alti_bar;
    in.alti_lim = s.tones.alti_lim;
    const auto lines = static_cast<std::size_t>(s.nb_lig), columns = static_cast<std::size_t>(s.nb_col);
    in.itab_in.assign(lines, std::vector<int32_t>(columns));
    in.tab_bar.assign(lines, std::vector<unsigned char>(columns));
    in.tab_in = in.tab_curv = in.tab_perim = in.tab_bar;
    for (int32_t i = 0; i < s.nb_lig; ++i)
        for (int32_t j = 0; j < s.nb_col; ++j) {
            const std::size_t k = s.at(i, j);
            in.itab_in[i][j] = s.slope[k];
            in.tab_bar[i][j] = s.railing[k];
            in.tab_in[i][j] = s.zone[k];
            in.tab_curv[i][j] = s.contour[k];
            in.tab_perim[i][j] = s.perimeter[k];
        }
    return in;
}

class ScenariosAgainstTheLiteralModel : public ConsoleRun {};

TEST_F(ScenariosAgainstTheLiteralModel, DenseAndSparseOnOneAndThreeThreads) {
    // The literal search walks every ring, so the sanitized build takes the
    // scenarios at a quarter of the size.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int32_t kSize = 256;
#else
    constexpr int32_t kSize = 1024;
#endif
    for (const Scenario& scenario : {make_floodplain(kSize, kSize), make_sparse_river(kSize, kSize)}) {
        SCOPED_TRACE(scenario.name);
        const std::string folder = images_ + "/" + scenario.name;
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(write_scenario_files(scenario, folder));
        const ReferenceResult expected = reference_treatment(reference_input(scenario));
        const std::vector<int32_t> raster = rounded_raster(expected.dtab);
        for (const char* threads : {"1", "3"}) {
            SCOPED_TRACE(std::string("threads ") + threads);
            const BinaryRun r = run(scenario_answers(scenario, scenario.name, "res"), {{"LORVANTIDE_THREADS", threads}});
            ASSERT_EQ(r.exit_status, 0) << r.err;
            ASSERT_GE(r.out.size(), expected.console.size());
            // The dialog comes first; the computation's text is the rest, byte for byte.
            EXPECT_TRUE(r.out.compare(r.out.size() - expected.console.size(), std::string::npos, expected.console) == 0);
            EXPECT_EQ(read_file(folder + "/res_m4.raw"), little_endian_int32s(raster));
            EXPECT_EQ(read_file(folder + "/res_m4.txt"), result_descriptor(scenario.nb_lig, scenario.nb_col, raster, scenario.pix_size));
        }
    }
}

}  // namespace
