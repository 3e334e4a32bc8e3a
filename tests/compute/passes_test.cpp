// Pass 1 searches blocks of pixels together, on several threads, and applies
// the results afterwards; passes 2 to 7 compute their means on several threads
// and interpolate their lone pixels afterwards. The elevations, the miss
// counts, the order of the interpolations and every progress byte must be
// those of one pixel after the other, whatever the blocks and the threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "tests/compute/channel_case.hpp"
#include "compute/channel_passes.hpp"
#include "compute/search_ahead.hpp"

namespace {

// A long strip whose contour line and lower boundary lie only near its left
// end: the channel pixels beyond about 1500 columns miss one or both searches,
// the others hit at every distance up to that.
struct Strip {
    // `lines` x `columns`, a share `channel` of the pixels in the channel; the
    // contour line and the lower boundary only in the first 60 and 200
    // columns, or scattered everywhere.
    explicit Strip(uint32_t seed, int32_t lines = 41, int32_t columns = 1730, double channel = 0.6,
                   bool tones_everywhere = false) {
        ReferenceInput in = blank_input(lines, columns);
        in.alti_bar = 3;
        in.alti_lim = 900;
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        for (int32_t i = 0; i < in.nb_lig; ++i)
            for (int32_t j = 0; j < in.nb_col; ++j) {
                in.tab_in[i][j] = chance(random) < channel ? kChannel : 0;
                in.tab_curv[i][j] = (j < 60 || tones_everywhere) && chance(random) < 0.05 ? kContour : 0;
                in.tab_bar[i][j] = (j < 200 || tones_everywhere) && chance(random) < 0.02 ? kRailing : 0;
                in.itab_in[i][j] = std::uniform_int_distribution<int32_t>(-50, 800)(random);
            }
        load_run(run, in);
        run.dtab = Elevations::for_channel(run.tab_in.view(), Tone(kChannel));
        inputs = channel_inputs(run);
        parameters = run.parameters;
        window = ChannelWindow::whole(in.nb_lig, in.nb_col);
    }
    DistanceInterpolation interpolation(int32_t threads) {
        return {inputs, parameters, ChannelTones(parameters), window, run.dtab, threads};
    }
    PassGrids grids() { return {run.tab_in.view(), run.dtab, window, Tone(kChannel)}; }

    ::Run run;
    ChannelInputs inputs;
    ChannelParameters parameters;
    ChannelWindow window;
};

// The progress events, one per line of text.
struct Recorder : ChannelProgress {
    std::string printed;
    void pass_begun(int pass) override { printed += "pass " + std::to_string(pass) + "\n"; }
    void position_reached(int32_t i, int32_t j) override { printed += position(i, j); }
    void line_reached(int32_t i) override { printed += line(i); }
    bool wants_positions() const override { return true; }
    static std::string position(int32_t i, int32_t j) { return std::to_string(i) + "," + std::to_string(j) + "\n"; }
    static std::string line(int32_t i) { return "line " + std::to_string(i) + "\n"; }
};

TEST(CoarsePass, AnyBlocksAndThreadsGiveThePixelAfterPixelPass) {
    // The narrow strip, and a wide one with more runs of searches than the
    // threads may search ahead of the pass (search_ahead.hpp).
    for (const int32_t lines : {41, 530}) {
        const bool wide = lines > 41;
        const int32_t columns = wide ? 1000 : 1730;
        const double channel = wide ? 1.0 : 0.6;
    Strip expected(11, lines, columns, channel, wide);
    DistanceInterpolation sequential = expected.interpolation(1);
    std::string expected_text = "pass 1\n";
    for (int32_t i = 0; i < expected.run.nb_lig; i += 4)
        for (int32_t j = 0; j < expected.run.nb_col; j += 4) {
            expected_text += Recorder::position(i, j);
            if (expected.run.tab_in[i][j] == kChannel) sequential.apply(i, j);
        }
    if (!wide) {
        ASSERT_GT(sequential.contour_misses(), 0);
        ASSERT_GT(sequential.boundary_misses(), 0);
        ASSERT_LT(sequential.boundary_misses(), sequential.contour_misses());  // some miss only the contour
    }

    for (const int64_t block : {1, 7, 100, 16384})
        for (const int32_t threads : {1, 2, 3}) {
            if (wide && (block == 1 || block == 100)) continue;
            const std::string label = std::to_string(lines) + " lines, block " + std::to_string(block) +
                                      ", threads " + std::to_string(threads);
            Strip strip(11, lines, columns, channel, wide);
            DistanceInterpolation interpolation = strip.interpolation(threads);
            Recorder recorder;
            coarse_pass(strip.grids(), recorder, interpolation, CoarseBlocks{block, threads});
            EXPECT_EQ(recorder.printed, expected_text) << label;
            expect_same_elevations(strip.run.dtab, 0, 0, elevations_of(expected.run),
                                   {0, 0, strip.run.nb_lig, strip.run.nb_col}, label);
            EXPECT_EQ(interpolation.contour_misses(), sequential.contour_misses()) << label;
            EXPECT_EQ(interpolation.boundary_misses(), sequential.boundary_misses()) << label;
        }
    }
}

// Helpers that could run far ahead of a slow pass (here one that starts late)
// search no more than their ring of results holds, and every result is the
// pixel's own: the searches of 70 runs' centres, on 1 and 2 helpers.
TEST(SearchAhead, HelpersStayWithinTheirRingAndEveryResultIsThePixelsOwn) {
    Strip strip(5, 16, 9000, 1.0, true);
    DistanceInterpolation interpolation = strip.interpolation(2);
    std::vector<SearchCentre> centres;
    for (int32_t i = 0; i < 16; ++i)
        for (int32_t j = 0; j < 9000 / 4; ++j) centres.push_back({i, (j * 7919) % 9000});
    ASSERT_GT(centres.size(), 70u * 512u);
    std::vector<SearchPair> expected(centres.size());
    interpolation.search(centres.data(), centres.size(), expected.data());
    for (const int helpers : {1, 2}) {
        SearchAhead ahead(interpolation, centres);
        std::vector<std::thread> threads;
        for (int h = 0; h < helpers; ++h) threads.emplace_back([&ahead] { ahead.help(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::size_t differ = 0;
        for (std::size_t k = 0; k < centres.size(); ++k) {
            const SearchPair& got = ahead.result(k);
            differ += got.contour.distance != expected[k].contour.distance || got.contour.line != expected[k].contour.line ||
                      got.boundary.distance != expected[k].boundary.distance || got.boundary.column != expected[k].boundary.column;
        }
        ahead.stop();
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(differ, 0u) << helpers << " helpers";
    }
}

// Lone pixels (without a channel neighbour) are interpolated on the calling
// thread in the pass's order; every line's progress line is printed.
TEST(FillPass, LonePixelsAreInterpolatedInThePassOrder) {
    for (const FillPass& pass : kFillPasses) {
        Strip model(23);
        const ::Run& run = model.run;
        std::string expected_text = "pass " + std::to_string(pass.pass) + "\n";
        std::vector<std::pair<int32_t, int32_t>> expected_lone;
        for (int32_t i = pass.first_line; i < run.nb_lig; i += pass.line_step) {
            expected_text += Recorder::line(i);
            for (int32_t j = pass.first_column; j < run.nb_col; j += pass.column_step) {
                if (run.tab_in[i][j] != kChannel) continue;
                const int32_t r = pass.reach;
                const int32_t diagonal[4][2] = {{-r, -r}, {-r, r}, {r, -r}, {r, r}};
                const int32_t straight[4][2] = {{-r, 0}, {0, r}, {r, 0}, {0, -r}};
                bool neighbour = false;
                for (const auto& step : pass.diagonal ? diagonal : straight) {
                    const int32_t m = i + step[0], n = j + step[1];
                    neighbour = neighbour || (m >= 0 && m < run.nb_lig && n >= 0 && n < run.nb_col &&
                                              run.tab_in[m][n] == kChannel);
                }
                if (!neighbour) expected_lone.push_back({i, j});
            }
        }
        ASSERT_FALSE(expected_lone.empty()) << pass.pass;  // the strip has lone pixels
        for (const int32_t threads : {1, 2, 3}) {
            Strip strip(23);
            Recorder recorder;
            std::vector<std::pair<int32_t, int32_t>> lone;
            const std::thread::id caller = std::this_thread::get_id();
            fill_pass(
                strip.grids(), recorder, pass,
                [&](int32_t i, int32_t j) {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    lone.push_back({i, j});
                    strip.run.dtab(i, j) = -1.5;
                },
                threads);
            EXPECT_EQ(recorder.printed, expected_text) << pass.pass << " threads " << threads;
            EXPECT_EQ(lone, expected_lone) << pass.pass << " threads " << threads;
        }
    }
}

// Means are summed in the pass's order, rounding to double after each
// addition: 1e16 + 1 + 1 - 1e16 is 0 that way, 2 in any other grouping.
TEST(FillPass, NeighboursAreSummedInOrderWithARoundingAfterEachAddition) {
    ReferenceInput in = blank_input(5, 5);
    for (auto& row : in.tab_in) row.assign(5, kChannel);
    ::Run run;
    load_run(run, in);
    run.dtab = Elevations::for_channel(run.tab_in.view(), Tone(kChannel));
    // Pixel (2,2) of pass 2 takes (0,0), (0,4), (4,0), (4,4) in that order.
    run.dtab(0, 0) = 1e16;
    run.dtab(0, 4) = 1.0;
    run.dtab(4, 0) = 1.0;
    run.dtab(4, 4) = -1e16;
    const PassGrids grids{run.tab_in.view(), run.dtab, ChannelWindow::whole(5, 5), Tone(kChannel)};
    SilentProgress silent;
    fill_pass(grids, silent, kFillPasses[0], [](int32_t, int32_t) { FAIL() << "no pixel is lone here"; }, 2);
    EXPECT_EQ(run.dtab.at(2, 2), 0.0);
}

}  // namespace
