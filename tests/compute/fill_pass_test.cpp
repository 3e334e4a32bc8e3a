// Passes 2 to 7 run one at a time over seeded elevations: which neighbours
// each pass sums, at every border, and when it falls back to the distance
// interpolation.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "channel_passes.hpp"
#include "compute_fixtures.hpp"

namespace {

// Distinct multiples of 12, so that every mean of one to four of them is a
// whole number and exact in double.
double seed(int32_t i, int32_t j) { return 12.0 * (10 * i + j + 1); }

// Pass number (2..7) to its entry in the pass table.
const FillPass& pass_number(int k) { return kFillPasses[static_cast<std::size_t>(k - 2)]; }

bool visited_by(int k, int32_t i, int32_t j) {
    const bool i4 = i % 4 == 0, i2 = i % 4 == 2, j4 = j % 4 == 0, j2 = j % 4 == 2;
    switch (k) {
        case 2: return i2 && j2;
        case 3: return i2 && j4;
        case 4: return i4 && j2;
        case 5: return i % 2 == 1 && j % 2 == 1;
        case 6: return i % 2 == 0 && j % 2 == 1;
        default: return i % 2 == 1 && j % 2 == 0;
    }
}

// The neighbours a pass consults, written as its rules state them: offsets in
// the order summed, each with the condition that keeps it in the raster.
std::vector<std::pair<int32_t, int32_t>> consulted(int k, int32_t i, int32_t j, int32_t nb_lig, int32_t nb_col) {
    std::vector<std::pair<int32_t, int32_t>> out;
    const int32_t d = k <= 4 ? 2 : 1;
    const bool right = j + d <= nb_col - 1;
    const bool below = i + d <= nb_lig - 1;
    if (k == 2 || k == 5) {
        out.push_back({i - d, j - d});
        if (right) out.push_back({i - d, j + d});
        if (below) out.push_back({i + d, j - d});
        if (right && below) out.push_back({i + d, j + d});
        return out;
    }
    const bool above = (k == 4 || k == 6) ? i != 0 : true;
    const bool left = (k == 3 || k == 7) ? j != 0 : true;
    if (above) out.push_back({i - d, j});
    if (right) out.push_back({i, j + d});
    if (below) out.push_back({i + d, j});
    if (left) out.push_back({i, j - d});
    return out;
}

struct PassRun {
    std::vector<std::pair<int32_t, int32_t>> interpolated;
    std::string out;
};

constexpr double kInterpolated = -7.25;  // what the stand-in interpolation writes

PassRun run_pass(Run& run, int k) {
    PassRun result;
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    fill_pass(run, console, pass_number(k), [&](int32_t i, int32_t j) {
        result.interpolated.push_back({i, j});
        run.dtab[i][j] = kInterpolated;
    });
    result.out = out.str();
    return result;
}

// Every pixel channel; the pass's own pixels at 0.0, every other one seeded.
void seed_all_channel(Run& run, int k) {
    fill(run.tab_in, run, kChannel);
    for (int32_t i = 0; i < run.nb_lig; ++i)
        for (int32_t j = 0; j < run.nb_col; ++j) run.dtab[i][j] = visited_by(k, i, j) ? 0.0 : seed(i, j);
}

TEST(FillPass, EveryPassSumsExactlyItsNeighboursAtEveryBorder) {
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 3}, {4, 4},  {5, 5},
                                                 {6, 7}, {7, 6}, {9, 10}, {10, 9}, {11, 12}, {12, 11}};
    for (int k = 2; k <= 7; ++k) {
        for (const auto& [nb_lig, nb_col] : sizes) {
            ::Run run;
            load_run(run, nb_lig, nb_col);
            seed_all_channel(run, k);
            const PassRun result = run_pass(run, k);
            EXPECT_TRUE(result.interpolated.empty()) << "pass " << k;
            for (int32_t i = 0; i < nb_lig; ++i) {
                for (int32_t j = 0; j < nb_col; ++j) {
                    double expected = seed(i, j);
                    if (visited_by(k, i, j)) {
                        const auto neighbours = consulted(k, i, j, nb_lig, nb_col);
                        double sum = 0.0;
                        for (const auto& [m, n] : neighbours) sum += seed(m, n);
                        expected = sum / static_cast<double>(neighbours.size());
                    }
                    EXPECT_EQ(run.dtab[i][j], expected)
                        << "pass " << k << " raster " << nb_lig << "x" << nb_col << " pixel " << i << "," << j;
                }
            }
        }
    }
}

TEST(FillPass, BorderPixelsWorkedByHand) {
    {
        ::Run run;
        load_run(run, 5, 5);
        seed_all_channel(run, 3);
        run_pass(run, 3);
        EXPECT_EQ(run.dtab[2][0], 260.0);  // column 0: above 12, right 276, below 492
        EXPECT_EQ(run.dtab[2][4], 292.0);  // last column: above 60, below 540, left 276
    }
    {
        ::Run run;
        load_run(run, 5, 5);
        seed_all_channel(run, 7);
        run_pass(run, 7);
        EXPECT_EQ(run.dtab[1][0], 136.0);  // column 0: above 12, right 144, below 252
    }
    {
        ::Run run;
        load_run(run, 5, 5);
        seed_all_channel(run, 4);
        run_pass(run, 4);
        EXPECT_EQ(run.dtab[0][2], 116.0);  // line 0: right 60, below 276, left 12
        EXPECT_EQ(run.dtab[4][2], 436.0);  // last line: above 276, right 540, left 492
    }
    {
        ::Run run;
        load_run(run, 5, 5);
        seed_all_channel(run, 6);
        run_pass(run, 6);
        EXPECT_EQ(run.dtab[0][1], 64.0);  // line 0: right 36, below 144, left 12
    }
    {
        ::Run run;
        load_run(run, 5, 5);
        seed_all_channel(run, 2);
        run_pass(run, 2);
        EXPECT_EQ(run.dtab[2][2], 276.0);  // all four diagonals: 12, 60, 492, 540
    }
    {
        ::Run run;
        load_run(run, 4, 4);
        seed_all_channel(run, 5);
        run_pass(run, 5);
        EXPECT_EQ(run.dtab[3][3], 276.0);  // last line and column: upper left only
        EXPECT_EQ(run.dtab[1][3], 156.0);  // last column: upper left 36, lower left 276
    }
    {
        ::Run run;
        load_run(run, 3, 3);
        seed_all_channel(run, 3);
        run_pass(run, 3);
        EXPECT_EQ(run.dtab[2][0], 144.0);  // last line, column 0: above 12, right 276
    }
}

TEST(FillPass, TheMaskAloneDecidesWhichNeighboursCount) {
    ::Run run;
    load_run(run, 5, 5);
    fill(run.tab_in, run, kChannel);
    // Pass 2 at (2, 2): a channel neighbour holding 0.0 and one holding a
    // negative value count; a neighbour outside the channel does not, whatever
    // it holds.
    run.dtab[0][0] = 0.0;
    run.dtab[0][4] = -36.0;
    run.dtab[4][0] = 1000.0;
    run.tab_in[4][0] = 0;
    run.dtab[4][4] = 12.0;
    run_pass(run, 2);
    EXPECT_EQ(run.dtab[2][2], -8.0);  // (0 - 36 + 12) / 3
}

TEST(FillPass, NeighboursAreSummedInOrderWithARoundingAfterEachAddition) {
    // First neighbour 2^53, second 1, third -2^53, fourth 1: in this order the
    // second addition is lost to rounding and the mean is 1/4; any other order
    // that pairs the large values first would give 1/2.
    const double big = 9007199254740992.0;
    // For each pass, one of its pixels of a 7x7 raster with all four
    // neighbours inside.
    const std::pair<int32_t, int32_t> pixel[] = {{2, 2}, {2, 4}, {4, 2}, {1, 1}, {2, 1}, {1, 2}};
    for (int k = 2; k <= 7; ++k) {
        const auto [i, j] = pixel[k - 2];
        ASSERT_TRUE(visited_by(k, i, j));
        ::Run run;
        load_run(run, 7, 7);
        fill(run.tab_in, run, kChannel);
        const auto neighbours = consulted(k, i, j, 7, 7);
        ASSERT_EQ(neighbours.size(), 4u) << "pass " << k;
        const double values[] = {big, 1.0, -big, 1.0};
        for (std::size_t n = 0; n < 4; ++n) run.dtab[neighbours[n].first][neighbours[n].second] = values[n];
        run_pass(run, k);
        EXPECT_EQ(run.dtab[i][j], 0.25) << "pass " << k;
    }
}

TEST(FillPass, OnlyChannelPixelsStillAtZeroAreComputed) {
    ::Run run;
    load_run(run, 5, 5);
    fill(run.tab_in, run, kChannel);
    seed_all_channel(run, 7);
    run.tab_in[1][0] = 0;     // not channel: left as it is, whatever its neighbours
    run.dtab[1][0] = 0.0;
    run.dtab[3][0] = 5.5;     // channel but already holding an elevation
    run.tab_in[1][2] = 0;     // not channel, holding a value
    run.dtab[1][2] = 99.0;
    const PassRun result = run_pass(run, 7);
    EXPECT_TRUE(result.interpolated.empty());
    EXPECT_EQ(run.dtab[1][0], 0.0);
    EXPECT_EQ(run.dtab[3][0], 5.5);
    EXPECT_EQ(run.dtab[1][2], 99.0);
    EXPECT_EQ(run.dtab[1][4], (seed(0, 4) + seed(2, 4) + seed(1, 3)) / 3.0);
}

TEST(FillPass, APixelWithoutChannelNeighboursIsInterpolated) {
    for (int k = 2; k <= 7; ++k) {
        ::Run run;
        load_run(run, 6, 6);
        // Only the pass's own pixels are channel: no neighbour ever counts.
        for (int32_t i = 0; i < 6; ++i)
            for (int32_t j = 0; j < 6; ++j) {
                run.tab_in[i][j] = visited_by(k, i, j) ? kChannel : 0;
                run.dtab[i][j] = visited_by(k, i, j) ? 0.0 : seed(i, j);
            }
        const PassRun result = run_pass(run, k);
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (int32_t i = 0; i < 6; ++i)
            for (int32_t j = 0; j < 6; ++j)
                if (visited_by(k, i, j)) expected.push_back({i, j});
        EXPECT_EQ(result.interpolated, expected) << "pass " << k;
        for (const auto& [i, j] : expected) EXPECT_EQ(run.dtab[i][j], kInterpolated);
    }
    // A lone channel pixel whose only in-raster neighbours are outside the channel.
    ::Run run;
    load_run(run, 1, 2);
    run.tab_in[0][1] = kChannel;
    const PassRun result = run_pass(run, 6);
    EXPECT_EQ(result.interpolated, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}}));
}

TEST(FillPass, PrintsItsHeadingAndOneLinePerVisitedLineCountedFromOne) {
    ::Run run;
    load_run(run, 6, 1);  // one column: passes 2, 4, 5 and 6 visit no column
    EXPECT_EQ(run_pass(run, 2).out, "\n\n segundo paso\n\n\tLinea 3          \r     ");
    EXPECT_EQ(run_pass(run, 3).out, "\n\n tercer paso\n\n\tLinea 3          \r     ");
    EXPECT_EQ(run_pass(run, 4).out,
              "\n\n cuarto paso\n\n\tLinea 1          \r     \tLinea 5          \r     ");
    EXPECT_EQ(run_pass(run, 5).out,
              "\n\n quinto paso\n\n\tLinea 2          \r     \tLinea 4          \r     \tLinea 6          \r     ");
    EXPECT_EQ(run_pass(run, 6).out,
              "\n\n sexto paso\n\n\tLinea 1          \r     \tLinea 3          \r     \tLinea 5          \r     ");
    EXPECT_EQ(run_pass(run, 7).out,
              "\n\n septimo paso\n\n\tLinea 2          \r     \tLinea 4          \r     \tLinea 6          \r     ");
}

}  // namespace
