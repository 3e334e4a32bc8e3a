// Pass 1 searches blocks of pixels together, on several threads, and applies
// the results afterwards; passes 2 to 7 compute their means on several threads
// and interpolate their lone pixels afterwards. dtab, the last search
// position, the miss counters, the order of the interpolations and every
// console byte must be those of one pixel after the other, whatever the block
// size and the number of threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "channel_passes.hpp"
#include "compute_fixtures.hpp"
#include "pixel_interpolation.hpp"
#include "stages.hpp"

namespace {

// A long strip whose contour line and lower boundary lie only near its left
// end: the channel pixels beyond about 1500 columns miss one or both searches,
// the others hit at every distance up to that. Always the same for a seed.
void strip_run(::Run& run, uint32_t seed) {
    constexpr int32_t nb_lig = 41, nb_col = 1730;
    load_run(run, nb_lig, nb_col, true);
    run.presence = 1;
    run.alti_bar = 3;
    run.alti_lim = 900;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int32_t> slope(-50, 800);
    for (int32_t i = 0; i < nb_lig; ++i)
        for (int32_t j = 0; j < nb_col; ++j) {
            run.tab_in[i][j] = chance(random) < 0.6 ? kChannel : 0;
            run.tab_curv[i][j] = j < 60 && chance(random) < 0.05 ? kContour : 0;
            run.tab_bar[i][j] = j < 200 && chance(random) < 0.02 ? kRailing : 0;
            run.tab_perim[i][j] = j >= 100 && j < 200 && chance(random) < 0.01 ? kPerimeter : 0;
            run.itab_in[i][j] = slope(random);
        }
}

// What the stage does before pass 1: the lower-boundary work grid made and
// every grid set up.
void set_up(::Run& run) {
    run.tab_lim_inf = ucmatrice(run.nb_col, run.nb_lig);
    ASSERT_NE(run.tab_lim_inf, nullptr);
    prepare_grids(run);
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every dtab element bit for bit; the first few differences reported.
void expect_same_dtab(const ::Run& a, const ::Run& b, const std::string& label) {
    int differences = 0;
    for (int32_t i = 0; i < a.nb_lig; ++i)
        for (int32_t j = 0; j < a.nb_col; ++j)
            if (!same_bits(a.dtab[i][j], b.dtab[i][j]) && ++differences <= 5)
                ADD_FAILURE() << label << " pixel " << i << "," << j << ": " << a.dtab[i][j] << " against "
                              << b.dtab[i][j];
    EXPECT_EQ(differences, 0) << label;
}

// Pass 1 as written: each position announced, then each channel pixel
// searched and interpolated before the next one.
std::string one_pixel_after_the_other(::Run& run, DistanceInterpolation& interpolation) {
    std::string text = "\n\n primer paso\n\n";
    char line[96];
    for (int32_t i = 0; i < run.nb_lig; i += 4)
        for (int32_t j = 0; j < run.nb_col; j += 4) {
            std::snprintf(line, sizeof line, "\tLinea %d    Columna %d          \r     ", i, j);
            text += line;
            if (static_cast<int32_t>(run.tab_in[i][j]) == run.tono_cauce) interpolation.apply(i, j);
        }
    return text;
}

TEST(CoarsePassThreads, AnyBlocksAndThreadsGiveTheSequentialPass) {
    ::Run expected_run;
    strip_run(expected_run, 11);
    set_up(expected_run);
    DistanceInterpolation sequential(expected_run);
    const std::string expected_out = one_pixel_after_the_other(expected_run, sequential);
    ASSERT_GT(sequential.contour_misses(), 0);
    ASSERT_GT(sequential.boundary_misses(), 0);
    ASSERT_LT(sequential.boundary_misses(), sequential.contour_misses());  // some miss only the contour

    for (const int64_t block : {1, 7, 100, 16384}) {
        for (const int32_t threads : {1, 2, 3}) {
            const std::string label = "block " + std::to_string(block) + ", threads " + std::to_string(threads);
            ::Run run;
            strip_run(run, 11);
            set_up(run);
            run.m2 = -99;
            run.n2 = -99;
            DistanceInterpolation interpolation(run);
            std::istringstream in;
            std::ostringstream out;
            Console console(in, out);
            coarse_pass(run, console, interpolation, CoarseBlocks{block, threads});
            EXPECT_EQ(out.str(), expected_out) << label;
            expect_same_dtab(run, expected_run, label);
            EXPECT_EQ(run.m2, expected_run.m2) << label;
            EXPECT_EQ(run.n2, expected_run.n2) << label;
            EXPECT_EQ(interpolation.contour_misses(), sequential.contour_misses()) << label;
            EXPECT_EQ(interpolation.boundary_misses(), sequential.boundary_misses()) << label;
        }
    }
}

// Sets LORVANTIDE_THREADS for one scope and puts back what was there.
class ThreadsVariable {
public:
    explicit ThreadsVariable(const char* value) {
        if (const char* before = std::getenv("LORVANTIDE_THREADS")) saved_ = before;
        setenv("LORVANTIDE_THREADS", value, 1);
    }
    ~ThreadsVariable() {
        if (saved_)
            setenv("LORVANTIDE_THREADS", saved_->c_str(), 1);
        else
            unsetenv("LORVANTIDE_THREADS");
    }

private:
    std::optional<std::string> saved_;
};

// Whether pixel (i, j), visited by `pass`, has a channel neighbour among the
// four it consults, by the pass's rules.
bool has_channel_neighbour(const ::Run& run, const FillPass& pass, int32_t i, int32_t j) {
    const int32_t r = pass.reach;
    const int32_t diagonal[4][2] = {{-r, -r}, {-r, r}, {r, -r}, {r, r}};
    const int32_t straight[4][2] = {{-r, 0}, {0, r}, {r, 0}, {0, -r}};
    for (const auto& step : pass.diagonal ? diagonal : straight) {
        const int32_t m = i + step[0], n = j + step[1];
        if (m >= 0 && m < run.nb_lig && n >= 0 && n < run.nb_col && run.tab_in[m][n] == kChannel) return true;
    }
    return false;
}

TEST(FillPassThreads, LonePixelsAreInterpolatedInThePassOrderBetweenItsProgressLines) {
    for (const FillPass& pass : kFillPasses) {
        // What the pass prints, with each interpolation marked where it happens.
        std::string expected = pass.heading;
        {
            ::Run run;
            strip_run(run, 23);
            char line[64];
            for (int32_t i = pass.first_line; i < run.nb_lig; i += pass.line_step) {
                std::snprintf(line, sizeof line, "\tLinea %d          \r     ", i + 1);
                expected += line;
                for (int32_t j = pass.first_column; j < run.nb_col; j += pass.column_step)
                    if (run.tab_in[i][j] == kChannel && !has_channel_neighbour(run, pass, i, j)) {
                        std::snprintf(line, sizeof line, "[%d,%d]", i, j);
                        expected += line;
                    }
            }
        }
        ASSERT_NE(expected.find('['), std::string::npos) << pass.heading;  // the strip has lone pixels
        for (const char* count : {"1", "2", "3"}) {
            ::Run run;
            strip_run(run, 23);
            std::istringstream in;
            std::ostringstream out;
            Console console(in, out);
            {
                const ThreadsVariable threads(count);
                fill_pass(run, console, pass, [&](int32_t i, int32_t j) {
                    out << "[" << i << "," << j << "]";
                    run.dtab[i][j] = -1.5;
                });
            }
            EXPECT_EQ(out.str(), expected) << pass.heading << " threads " << count;
        }
    }
}

TEST(CoarsePassThreads, TheWholeStageIsTheSameOnOneTwoAndThreeThreads) {
    ::Run one;
    strip_run(one, 5);
    StageResult one_result;
    {
        const ThreadsVariable threads("1");
        one_result = run_stage(one, treatment);
    }
    ASSERT_EQ(one_result.outcome, Outcome::go_on);
    // Both kinds of miss happened, and were reported.
    EXPECT_NE(one_result.out.find("\n Aviso: "), std::string::npos);
    for (const char* count : {"2", "3"}) {
        ::Run run;
        strip_run(run, 5);
        StageResult result;
        {
            const ThreadsVariable threads(count);
            result = run_stage(run, treatment);
        }
        const std::string label = std::string("threads ") + count;
        EXPECT_EQ(result.outcome, Outcome::go_on) << label;
        EXPECT_EQ(result.out, one_result.out) << label;
        expect_same_dtab(run, one, label);
        EXPECT_EQ(run.m2, one.m2) << label;
        EXPECT_EQ(run.n2, one.n2) << label;
    }
}

}  // namespace
