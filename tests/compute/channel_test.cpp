// The channel computation against the plainly written model built on the
// literal search (tests/reference), through the console run's stage: every
// elevation bit for bit and every console byte, on every small shape and many
// random runs and hand-built corners, on one to three threads; then windows
// of the raster, and the ways the stage can fail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "compute/channel.hpp"
#include "tests/compute/channel_case.hpp"
#include "tests/compute/tone_grid.hpp"

namespace {

void expect_stage_as_reference(const ReferenceInput& in, int32_t threads, const std::string& label) {
    const ReferenceResult expected = reference_treatment(in);
    ::Run run;
    load_run(run, in, threads);
    const StageRun result = run_treatment(run);
    ASSERT_EQ(result.outcome, Outcome::go_on) << label;
    EXPECT_EQ(result.out, expected.console) << label;
    expect_same_elevations(run.dtab, 0, 0, [&](int32_t i, int32_t j) { return expected.dtab[i][j]; },
                           {0, 0, in.nb_lig, in.nb_col}, label);
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
        const auto whole = elevations_of(run);

        const ChannelInputs inputs = channel_inputs(run);
        const ChannelParameters parameters = run.parameters;
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
            expect_same_elevations(dtab, o.line, o.column, whole, {top, left, bottom - top, right - left},
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
    const auto whole = elevations_of(run);

    const ChannelParameters parameters = run.parameters;
    for (const int32_t core : {kChannelReach + 1, kChannelReach + 150, kChannelReach + 293}) {
        // The core's columns [core, core + 7), its inputs grown by the reach.
        ChannelWindow window;
        window.raster_lines = lines;
        window.raster_columns = columns;
        window.inputs = {0, core - kChannelReach, lines, 7 + 2 * kChannelReach};
        window.inputs.columns = std::min(window.inputs.columns, columns - window.inputs.column);
        window.output = {0, core - kFillReach, lines, 7 + 2 * kFillReach};
        const ChannelInputs whole_inputs = channel_inputs(run);
        const auto slope = rows_from(whole_inputs.slope, window.inputs.column);
        const auto bar = rows_from(whole_inputs.railing, window.inputs.column);
        const auto zone = rows_from(whole_inputs.zone, window.inputs.column);
        const auto curve = rows_from(whole_inputs.contour, window.inputs.column);
        const auto perim = rows_from(whole_inputs.perimeter, window.inputs.column);
        const int32_t width = window.inputs.columns;
        const ChannelInputs inputs{{slope.data(), lines, width},
                                   {bar.data(), lines, width},
                                   {zone.data(), lines, width},
                                   {curve.data(), lines, width},
                                   {perim.data(), lines, width}};
        Elevations dtab = channel_elevations(inputs, kChannel, window);
        SilentProgress silent;
        ASSERT_TRUE(compute_channel(inputs, parameters, window, dtab, silent, 2).computed);
        expect_same_elevations(dtab, 0, window.output.column, whole, {0, core, lines, 7},
                               "core at column " + std::to_string(core));
    }
}

// Hand-built runs the random ones seldom meet: neighbours whose elevation is
// exactly 0.0 or negative (still counted by the means), a perimeter pixel
// with and without water bodies, and railing and perimeter on one pixel.
TEST(ChannelAgainstReference, HandBuiltCorners) {
    ReferenceInput low = blank_input(1, 7);
    for (int32_t j = 0; j < 7; ++j) {
        low.tab_in[0][j] = kChannel;
        low.tab_curv[0][j] = kContour;
        low.tab_bar[0][j] = kRailing;
        low.itab_in[0][j] = 10 * j;
    }
    low.alti_lim = -100;
    low.itab_in[0][1] = 100;
    low.itab_in[0][5] = 20;
    const ReferenceResult expected = reference_treatment(low);
    ASSERT_EQ(expected.dtab[0][0], 0.0);
    ASSERT_LT(expected.dtab[0][1], 0.0);
    expect_stage_as_reference(low, 2, "zero and negative neighbours");

    // One channel pixel, the contour on it, the railing two columns away and
    // a perimeter pixel between them.
    ReferenceInput in = blank_input(1, 3);
    in.alti_lim = 110;
    in.alti_bar = 20;
    in.tab_in[0][0] = kChannel;
    in.tab_curv[0][0] = kContour;
    in.tab_bar[0][2] = kRailing;
    in.tab_perim[0][1] = kPerimeter;
    in.itab_in[0][1] = 60;
    in.itab_in[0][2] = 40;
    for (const int32_t presence : {0, 2, -1, 1}) {
        in.presence = presence;
        expect_stage_as_reference(in, 1, "perimeter, presence " + std::to_string(presence));
    }
    in.tab_bar[0][1] = kRailing;
    expect_stage_as_reference(in, 1, "railing and perimeter on one pixel");
}

// A progress that asks to stop at its k-th ask: the computation stops there,
// having told exactly what an unstopped run tells up to that ask (and nothing
// after it but asks again), and says it stopped; a progress that never asks
// to stop changes nothing.
TEST(Channel, AStopEndsTheComputationAtTheAsk) {
    struct Stopper : ChannelProgress {
        explicit Stopper(int stop_at) : stop_at(stop_at) {}
        void pass_begun(int pass) override { told += "pass " + std::to_string(pass) + "\n"; }
        void share_done(double share) override { told += "share " + std::to_string(share) + "\n"; }
        void step_done(ChannelStep step) override { told += "step " + std::to_string(static_cast<int>(step)) + "\n"; }
        bool stop_requested() override {
            told += "ask\n";
            return ++asks >= stop_at;
        }
        int stop_at, asks = 0;
        std::string told;
    };
    std::mt19937 random(12);
    const ReferenceInput in = random_input(random, 30, 30);
    ::Run run;
    load_run(run, in);
    ASSERT_EQ(run_treatment(run).outcome, Outcome::go_on);
    const ChannelInputs inputs = channel_inputs(run);
    const ChannelWindow window = ChannelWindow::whole(in.nb_lig, in.nb_col);
    Elevations whole = channel_elevations(inputs, in.tono_cauce, window);
    Stopper never(1 << 30);
    ASSERT_TRUE(compute_channel(inputs, run.parameters, window, whole, never, 2).computed);
    expect_same_elevations(whole, 0, 0, elevations_of(run), {0, 0, in.nb_lig, in.nb_col}, "never stopped");
    ASSERT_GE(never.asks, 10);  // two steps, the block of pass 1, its end, six passes
    for (int k = 1; k <= never.asks; ++k) {
        Elevations elevations = channel_elevations(inputs, in.tono_cauce, window);
        Stopper stopper(k);
        const ChannelReport report = compute_channel(inputs, run.parameters, window, elevations, stopper, 2);
        EXPECT_TRUE(report.stopped && !report.computed) << k;
        std::size_t end = 0;
        for (int a = 0; a < k; ++a) end = never.told.find("ask\n", end) + 4;
        // Nothing but asks after the one that said stop.
        std::string after = stopper.told.substr(std::min(end, stopper.told.size()));
        while (after.rfind("ask\n", 0) == 0) after.erase(0, 4);
        EXPECT_EQ(stopper.told.substr(0, end) + after, never.told.substr(0, end)) << k;
    }
}

// Contour lines with their own altitudes: the computation given an altitude
// per contour pixel against the reference given the same, bit for bit; and
// with every pixel at the constant, exactly the constant's run.
TEST(ChannelAgainstReference, AnAltitudePerContourPixel) {
    std::mt19937 random(2718);
    for (int n = 0; n < 120; ++n) {
        const int32_t lines = std::uniform_int_distribution<int32_t>(1, 24)(random);
        const int32_t columns = std::uniform_int_distribution<int32_t>(1, 24)(random);
        ReferenceInput in = random_input(random, lines, columns);
        const bool constant = n % 5 == 0;
        std::uniform_int_distribution<int32_t> altitude(-100, 4000);
        in.alti_curv.assign(static_cast<std::size_t>(lines), std::vector<int32_t>(static_cast<std::size_t>(columns)));
        for (auto& row : in.alti_curv)
            for (int32_t& a : row) a = constant ? in.alti_lim : altitude(random);
        const ReferenceResult expected = reference_treatment(in);
        if (constant) {
            ReferenceInput plain = in;
            plain.alti_curv.clear();
            ASSERT_EQ(reference_treatment(plain).dtab, expected.dtab);
        }
        ::Run run;
        load_run(run, in);
        const Grid<int32_t> altitudes = grid_of(in.alti_curv, lines, columns);
        ChannelInputs inputs = channel_inputs(run);
        inputs.contour_altitudes = altitudes.view();
        const ChannelWindow window = ChannelWindow::whole(lines, columns);
        Elevations dtab = channel_elevations(inputs, in.tono_cauce, window);
        SilentProgress silent;
        ASSERT_TRUE(compute_channel(inputs, run.parameters, window, dtab, silent, 1 + n % 3).computed);
        expect_same_elevations(dtab, 0, 0, [&](int32_t i, int32_t j) { return expected.dtab[i][j]; },
                               {0, 0, lines, columns}, "run " + std::to_string(n));
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
