// The stage against the plainly written model over random runs: every
// elevation bit for bit, the console output byte for byte, and the last
// search position.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "compute_fixtures.hpp"
#include "reference_treatment.hpp"
#include "stages.hpp"

namespace {

void compare_with_reference(::Run& run, const ReferenceInput& input, const std::string& label) {
    const ReferenceResult expected = reference_treatment(input);
    const StageResult result = run_stage(run, treatment);
    ASSERT_EQ(result.outcome, Outcome::go_on) << label;
    EXPECT_EQ(result.out, expected.console) << label;
    int differences = 0;
    for (int32_t i = 0; i < input.nb_lig; ++i)
        for (int32_t j = 0; j < input.nb_col; ++j) {
            // Bit for bit: the same double, not merely a close one.
            const bool same = std::memcmp(&run.dtab[i][j], &expected.dtab[i][j], sizeof(double)) == 0;
            if (!same && ++differences <= 5)
                ADD_FAILURE() << label << " pixel " << i << "," << j << ": " << run.dtab[i][j] << " expected "
                              << expected.dtab[i][j];
        }
    EXPECT_EQ(differences, 0) << label;
    EXPECT_EQ(run.m2, expected.m2) << label;
    EXPECT_EQ(run.n2, expected.n2) << label;
}

// A random run and the same run as the model's input.
void random_run(std::mt19937& random, ::Run& run, ReferenceInput& input, bool absent_boundary) {
    const int32_t nb_lig = std::uniform_int_distribution<int32_t>(1, 23)(random);
    const int32_t nb_col = std::uniform_int_distribution<int32_t>(1, 23)(random);
    const bool with_perimeter = std::bernoulli_distribution(0.5)(random);
    load_run(run, nb_lig, nb_col, with_perimeter);
    run.presence = with_perimeter ? std::uniform_int_distribution<int32_t>(0, 2)(random) : 0;
    run.alti_lim = std::uniform_int_distribution<int32_t>(-50, 3000)(random);
    run.alti_bar = std::uniform_int_distribution<int32_t>(0, 40)(random);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const double channel = chance(random), railing = 0.03 + 0.2 * chance(random);
    const double perimeter = 0.1 * chance(random), contour = 0.03 + 0.2 * chance(random);
    std::uniform_int_distribution<int32_t> slope(-200, 2500);

    input.nb_lig = nb_lig;
    input.nb_col = nb_col;
    input.presence = run.presence;
    input.tono_cauce = run.tono_cauce;
    input.tono_bar = run.tono_bar;
    input.tono_lim = run.tono_lim;
    input.tono_perim = run.tono_perim;
    input.alti_bar = run.alti_bar;
    input.alti_lim = run.alti_lim;
    auto grid8 = [&] {
        return std::vector<std::vector<unsigned char>>(static_cast<std::size_t>(nb_lig),
                                                       std::vector<unsigned char>(static_cast<std::size_t>(nb_col)));
    };
    input.tab_in = grid8();
    input.tab_bar = grid8();
    input.tab_curv = grid8();
    input.tab_perim = grid8();
    input.itab_in.assign(static_cast<std::size_t>(nb_lig), std::vector<int32_t>(static_cast<std::size_t>(nb_col)));
    for (int32_t i = 0; i < nb_lig; ++i)
        for (int32_t j = 0; j < nb_col; ++j) {
            input.tab_in[i][j] = chance(random) < channel ? kChannel : 0;
            input.tab_bar[i][j] = !absent_boundary && chance(random) < railing ? kRailing : 0;
            input.tab_curv[i][j] = chance(random) < contour ? kContour : 0;
            input.tab_perim[i][j] = chance(random) < perimeter ? kPerimeter : 0;
            input.itab_in[i][j] = slope(random);
            run.tab_in[i][j] = input.tab_in[i][j];
            run.tab_bar[i][j] = input.tab_bar[i][j];
            run.tab_curv[i][j] = input.tab_curv[i][j];
            if (with_perimeter) run.tab_perim[i][j] = input.tab_perim[i][j];
            run.itab_in[i][j] = input.itab_in[i][j];
        }
    // A run that may miss must not miss often: each miss walks every ring.
    if (absent_boundary) {
        for (int32_t i = 0; i < nb_lig; ++i)
            for (int32_t j = 0; j < nb_col; ++j) input.tab_in[i][j] = run.tab_in[i][j] = 0;
        input.tab_in[0][0] = run.tab_in[0][0] = kChannel;
        input.presence = run.presence = 0;
    }
}

TEST(TreatmentAgainstReference, RandomRuns) {
    std::mt19937 random(31337);
    for (int k = 0; k < 250; ++k) {
        ::Run run;
        ReferenceInput input;
        random_run(random, run, input, false);
        // A grid without contour or railing would miss at every channel pixel.
        bool contour = false, railing = false;
        for (int32_t i = 0; i < input.nb_lig; ++i)
            for (int32_t j = 0; j < input.nb_col; ++j) {
                contour = contour || input.tab_curv[i][j] == kContour;
                railing = railing || input.tab_bar[i][j] == kRailing;
            }
        if (!contour) input.tab_curv[0][0] = run.tab_curv[0][0] = kContour;
        if (!railing) input.tab_bar[0][0] = run.tab_bar[0][0] = kRailing;
        compare_with_reference(run, input, "run " + std::to_string(k));
    }
}

TEST(TreatmentAgainstReference, RunsWithoutALowerBoundary) {
    std::mt19937 random(4242);
    for (int k = 0; k < 2; ++k) {
        ::Run run;
        ReferenceInput input;
        random_run(random, run, input, true);
        compare_with_reference(run, input, "run without boundary " + std::to_string(k));
    }
}

}  // namespace
