// The channel computation against the plainly written model built on the
// literal search (tests/reference), through the console run's stage: every
// elevation bit for bit and every console byte, on every small shape and many
// random runs, on one to three threads; then windows of the raster, a few
// elevations worked out by hand, and the ways the stage can fail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "channel.hpp"
#include "channel_case.hpp"

namespace {

void expect_stage_as_reference(const ReferenceInput& in, int32_t threads, const std::string& label) {
    const ReferenceResult expected = reference_treatment(in);
    ::Run run;
    load_run(run, in, threads);
    const StageRun result = run_treatment(run);
    ASSERT_EQ(result.outcome, Outcome::go_on) << label;
    EXPECT_EQ(result.out, expected.console) << label;
    expect_same_elevations(run, expected.dtab, label);
}

TEST(ChannelAgainstReference, EverySmallShapeAndRandomRuns) {
    std::mt19937 random(31337);
    int k = 0;
    for (int32_t lines = 1; lines <= 8; ++lines)
        for (int32_t columns = 1; columns <= 8; ++columns, ++k)
            expect_stage_as_reference(random_input(random, lines, columns), 1 + k % 3,
                                      "shape " + std::to_string(lines) + "x" + std::to_string(columns));
    for (int n = 0; n < 150; ++n, ++k) {
        const int32_t lines = std::uniform_int_distribution<int32_t>(1, 26)(random);
        const int32_t columns = std::uniform_int_distribution<int32_t>(1, 26)(random);
        expect_stage_as_reference(random_input(random, lines, columns), 1 + k % 3, "random run " + std::to_string(n));
    }
}

// Searches that meet nothing: the tone of the contour matching no pixel, no
// lower boundary within 1500 pixels, or neither. Each miss walks every ring of
// the literal search, so the channel is one pixel.
TEST(ChannelAgainstReference, SearchesWithoutAHitAndTheirWarning) {
    for (int variant = 0; variant < 3; ++variant) {
        ReferenceInput in = blank_input(2, 3);
        in.tab_in[0][0] = kChannel;
        in.tab_curv[1][1] = kContour;
        in.tab_bar[0][2] = kRailing;
        in.itab_in[0][2] = 40;
        if (variant != 1) in.tono_lim = variant == 0 ? 256 : -1;
        if (variant != 0) in.tab_bar[0][2] = 0;
        const ReferenceResult expected = reference_treatment(in);
        ASSERT_NE(expected.console.find("\n Aviso: "), std::string::npos);
        expect_stage_as_reference(in, 2, "variant " + std::to_string(variant));
    }
    // A boundary pixel just beyond the largest ring for one channel pixel,
    // and within it for another.
    ReferenceInput in = blank_input(1, 1502);
    for (auto& pixel : in.tab_curv[0]) pixel = kContour;
    in.tab_bar[0][1501] = kRailing;
    in.itab_in[0][1501] = 40;
    in.tab_in[0][0] = kChannel;
    in.tab_in[0][1500] = kChannel;
    expect_stage_as_reference(in, 3, "railing 1501 columns away");
}

// A window computes, for every pixel far enough from its edges (or at the
// raster's own edges), exactly the whole raster's elevation.
TEST(ChannelWindows, EveryWindowGivesTheWholeRastersElevationsInItsCore) {
    std::mt19937 random(8);
    for (int n = 0; n < 60; ++n) {
        const int32_t lines = std::uniform_int_distribution<int32_t>(1, 40)(random);
        const int32_t columns = std::uniform_int_distribution<int32_t>(1, 40)(random);
        const ReferenceInput in = random_input(random, lines, columns);
        ::Run run;
        load_run(run, in);
        ASSERT_EQ(run_treatment(run).outcome, Outcome::go_on);
        const std::vector<std::vector<double>> whole = elevations_of(run);

        const ChannelInputs inputs{run.itab_in.view(), run.tab_bar.view(), run.tab_in.view(), run.tab_curv.view(),
                                   run.tab_perim.view()};
        ChannelParameters parameters{in.tono_cauce, in.tono_bar, in.tono_lim,       in.tono_perim,
                                     in.alti_bar,   in.alti_lim, in.presence == 1};
        for (int w = 0; w < 4; ++w) {
            ChannelWindow window = ChannelWindow::whole(lines, columns);
            auto pick = [&](int32_t size) {
                const int32_t first = std::uniform_int_distribution<int32_t>(0, size - 1)(random);
                return std::pair{first, std::uniform_int_distribution<int32_t>(1, size - first)(random)};
            };
            std::tie(window.output.line, window.output.lines) = pick(lines);
            std::tie(window.output.column, window.output.columns) = pick(columns);
            Elevations dtab = channel_elevations(inputs, in.tono_cauce, window);
            SilentProgress silent;
            ASSERT_TRUE(compute_channel(inputs, parameters, window, dtab, silent, 1 + w % 2).computed);
            // The core: kFillReach inside every edge that is not the raster's.
            const RasterRect& o = window.output;
            const int32_t top = o.line == 0 ? 0 : o.line + kFillReach;
            const int32_t left = o.column == 0 ? 0 : o.column + kFillReach;
            const int32_t bottom = o.line + o.lines == lines ? lines : o.line + o.lines - kFillReach;
            const int32_t right = o.column + o.columns == columns ? columns : o.column + o.columns - kFillReach;
            if (bottom <= top || right <= left) continue;
            expect_same_elevations(dtab, o.line, o.column, whole, top, left, bottom - top, right - left,
                                   "run " + std::to_string(n) + " window " + std::to_string(w));
        }
    }
}

// Input grids that are themselves a window of a raster wider than two search
// reaches: positions, border tests and the centre-dependent samples stay in
// raster coordinates.
TEST(ChannelWindows, InputWindowsOfAWideRaster) {
    std::mt19937 random(5);
    const int32_t lines = 9;
    const int32_t columns = 2 * kChannelReach + 300;
    ReferenceInput in = blank_input(lines, columns);
    in.presence = 1;
    in.alti_bar = 3;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    for (int32_t i = 0; i < lines; ++i)
        for (int32_t j = 0; j < columns; ++j) {
            in.tab_in[i][j] = chance(random) < 0.7 ? kChannel : 0;
            in.tab_curv[i][j] = chance(random) < 0.01 ? kContour : 0;
            in.tab_bar[i][j] = chance(random) < 0.01 ? kRailing : 0;
            in.tab_perim[i][j] = chance(random) < 0.005 ? kPerimeter : 0;
            in.itab_in[i][j] = std::uniform_int_distribution<int32_t>(0, 5000)(random);
        }
    ::Run run;
    load_run(run, in, 2);
    ASSERT_EQ(run_treatment(run).outcome, Outcome::go_on);
    const std::vector<std::vector<double>> whole = elevations_of(run);

    const ChannelParameters parameters{kChannel, kRailing, kContour, kPerimeter, 3, 100, true};
    for (const int32_t core : {kChannelReach + 1, kChannelReach + 150, kChannelReach + 293}) {
        // The core's columns [core, core + 7), its inputs grown by the reach.
        ChannelWindow window;
        window.raster_lines = lines;
        window.raster_columns = columns;
        window.inputs = {0, core - kChannelReach, lines, 7 + 2 * kChannelReach};
        window.inputs.columns = std::min(window.inputs.columns, columns - window.inputs.column);
        window.output = {0, core - kFillReach, lines, 7 + 2 * kFillReach};
        std::vector<const unsigned char*> bar, zone, curve, perim;
        std::vector<const int32_t*> slope;
        for (int32_t i = 0; i < lines; ++i) {
            slope.push_back(run.itab_in[i] + window.inputs.column);
            bar.push_back(run.tab_bar[i] + window.inputs.column);
            zone.push_back(run.tab_in[i] + window.inputs.column);
            curve.push_back(run.tab_curv[i] + window.inputs.column);
            perim.push_back(run.tab_perim[i] + window.inputs.column);
        }
        const int32_t width = window.inputs.columns;
        const ChannelInputs inputs{{slope.data(), lines, width},
                                   {bar.data(), lines, width},
                                   {zone.data(), lines, width},
                                   {curve.data(), lines, width},
                                   {perim.data(), lines, width}};
        Elevations dtab = channel_elevations(inputs, kChannel, window);
        SilentProgress silent;
        ASSERT_TRUE(compute_channel(inputs, parameters, window, dtab, silent, 2).computed);
        expect_same_elevations(dtab, 0, window.output.column, whole, 0, core, lines, 7,
                               "core at column " + std::to_string(core));
    }
}

// Elevations worked out by hand from the searches' known answers.
TEST(Channel, ElevationsWorkedByHand) {
    struct Case {
        const char* what;
        ReferenceInput in;
        std::vector<std::pair<std::pair<int32_t, int32_t>, double>> expected;
    };
    std::vector<Case> cases;
    {
        // Contour three columns to the right (ring 3), the boundary on the
        // pixel itself (ring 1), its slope 80: 85.0 as a perimeter pixel; as
        // a railing 2 high, 78 is the base and 83.5 the result.
        for (const bool railing : {false, true}) {
            ReferenceInput in = blank_input(9, 9);
            in.presence = 1;
            in.alti_bar = 2;
            in.tab_in[4][4] = kChannel;
            in.tab_curv[4][7] = kContour;
            in.tab_perim[4][4] = kPerimeter;
            if (railing) in.tab_bar[4][4] = kRailing;
            in.itab_in[4][4] = 80;
            cases.push_back({railing ? "railing base" : "perimeter base", in, {{{4, 4}, railing ? 83.5 : 85.0}}});
        }
        // Both at distance 2: the mid-point of 80 and 100.
        ReferenceInput in = blank_input(9, 9);
        in.tab_in[4][4] = kChannel;
        in.tab_curv[5][4] = kContour;
        in.tab_bar[3][5] = kRailing;
        in.itab_in[3][5] = 80;
        cases.push_back({"mid-point", in, {{{4, 4}, 90.0}}});
    }
    {
        // Contour and railing everywhere: both searches hit on ring 1, so an
        // interpolated pixel gets the mid-point of 100 and the slope of the
        // pixel to its right (above it in the last column). Pass 1 takes
        // (0,0) and (0,4) although their neighbours are channel pixels;
        // passes 4 and 6 fill in from the left and right.
        ReferenceInput line = blank_input(1, 7);
        ReferenceInput column = blank_input(7, 1);
        for (ReferenceInput* in : {&line, &column})
            for (int32_t i = 0; i < in->nb_lig; ++i)
                for (int32_t j = 0; j < in->nb_col; ++j) {
                    in->tab_in[i][j] = kChannel;
                    in->tab_curv[i][j] = kContour;
                    in->tab_bar[i][j] = kRailing;
                    in->itab_in[i][j] = 10 * (i + j);
                }
        cases.push_back({"one line", line,
                         {{{0, 0}, 55.0}, {{0, 1}, 60.0}, {{0, 2}, 65.0}, {{0, 3}, 70.0}, {{0, 4}, 75.0},
                          {{0, 6}, 75.0}}});
        // (0,0) from its own slope, (4,0) from the pixel above; passes 3 and
        // 7 use only the pixels above and below in column 0.
        cases.push_back({"one column", column,
                         {{{0, 0}, 50.0}, {{1, 0}, 53.75}, {{2, 0}, 57.5}, {{3, 0}, 61.25}, {{4, 0}, 65.0},
                          {{6, 0}, 65.0}}});
        // Neighbours holding 0.0 or a negative elevation still count.
        ReferenceInput low = line;
        low.alti_lim = -100;
        low.itab_in[0][1] = 100;
        low.itab_in[0][5] = 20;
        cases.push_back({"zero and negative neighbours", low,
                         {{{0, 0}, 0.0}, {{0, 1}, -10.0}, {{0, 3}, -30.0}, {{0, 4}, -40.0}, {{0, 6}, -40.0}}});
    }
    {
        // One channel pixel, the contour on it, the railing two columns away
        // (slope 40, 20 high) and a perimeter pixel between them (slope 60).
        ReferenceInput in = blank_input(1, 3);
        in.alti_lim = 110;
        in.alti_bar = 20;
        in.tab_in[0][0] = kChannel;
        in.tab_curv[0][0] = kContour;
        in.tab_bar[0][2] = kRailing;
        in.tab_perim[0][1] = kPerimeter;
        in.itab_in[0][1] = 60;
        in.itab_in[0][2] = 40;
        for (const int32_t presence : {0, 2, -1}) {
            in.presence = presence;
            cases.push_back({"perimeter without water bodies", in, {{{0, 0}, 80.0}}});
        }
        in.presence = 1;
        cases.push_back({"perimeter with water bodies", in, {{{0, 0}, 85.0}}});
        in.tab_bar[0][1] = kRailing;
        cases.push_back({"railing and perimeter on one pixel", in, {{{0, 0}, 75.0}}});
    }
    for (const Case& c : cases) {
        ::Run run;
        load_run(run, c.in);
        ASSERT_EQ(run_treatment(run).outcome, Outcome::go_on) << c.what;
        for (const auto& [pixel, value] : c.expected)
            EXPECT_EQ(run.dtab.at(pixel.first, pixel.second), value)
                << c.what << " pixel " << pixel.first << "," << pixel.second;
        for (int32_t i = 0; i < run.nb_lig; ++i)
            for (int32_t j = 0; j < run.nb_col; ++j)
                if (c.in.tab_in[i][j] != kChannel) {
                    EXPECT_EQ(run.dtab.at(i, j), 0.0) << c.what;
                }
    }
}

TEST(Channel, AnEmptyRasterPrintsItsHeadingsAndReadsNoPixel) {
    for (const auto& [lines, columns] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        ChannelWindow window = ChannelWindow::whole(lines, columns);
        struct Recorder : ChannelProgress {
            std::string text_seen;
            void text(std::string_view t) override { text_seen += t; }
        } recorder;
        Elevations none;
        const ChannelReport report = compute_channel({}, {}, window, none, recorder, 2);
        EXPECT_TRUE(report.computed);
        EXPECT_EQ(recorder.text_seen, reference_treatment(blank_input(lines, columns)).console)
            << lines << "x" << columns;
    }
}

TEST(Channel, MissingInputGridsStopTheStageWithAMessage) {
    ReferenceInput in = blank_input(3, 3);
    ::Run run;
    load_run(run, in);
    run.tab_curv = {};
    StageRun result = run_treatment(run);
    EXPECT_EQ(result.outcome, Outcome::failed);
    EXPECT_EQ(result.out, "\n Faltan mallas de entrada: no se puede calcular el cauce \n");

    in.presence = 1;
    ::Run perimeter_run;
    load_run(perimeter_run, in);
    perimeter_run.tab_perim = {};
    EXPECT_EQ(run_treatment(perimeter_run).outcome, Outcome::failed);
}

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a refused allocation must come back as null, as it
// does from the system allocator, instead of ending the program.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

// The computation's own memory refused: it says so instead of crashing. The
// shortage is real: a child process caps its address space just above what
// it uses and asks for a raster of four gigabytes (whose input rows are one
// row shared by every line; nothing is read before the memory is had).
TEST(Channel, MemoryThatCannotBeHadIsReported) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream statm("/proc/self/statm");
        if (!(statm >> pages)) _exit(3);
        const rlim_t in_use = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        const rlimit cap{in_use + (256u << 20), in_use + (256u << 20)};
        if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(3);
        const int32_t lines = 4096;
        const int32_t columns = 1 << 20;
        static std::vector<unsigned char> row(columns);
        static std::vector<const unsigned char*> rows(lines, row.data());
        const GridView<const unsigned char> mask(rows.data(), lines, columns);
        const ChannelInputs inputs{{}, mask, mask, mask, {}};
        SilentProgress silent;
        Elevations none;
        const ChannelReport report = compute_channel(inputs, {}, ChannelWindow::whole(lines, columns), none, silent, 1);
        _exit(report.computed ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
