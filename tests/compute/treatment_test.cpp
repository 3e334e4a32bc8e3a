// The whole computing stage on small runs built in memory, with elevations
// worked out by hand from the searches' known answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "compute_fixtures.hpp"
#include "stages.hpp"

namespace {

// Contour line and railing on every pixel: both searches hit on ring 1, at the
// first sample inside the raster (the pixel to the right, or, in the last
// column, the pixel itself on line 0 and the pixel above elsewhere), so every
// interpolated pixel gets the mid-point of 100 and that pixel's slope elevation.
void everything_is_boundary_and_contour(::Run& run) {
    fill(run.tab_in, run, kChannel);
    fill(run.tab_curv, run, kContour);
    fill(run.tab_bar, run, kRailing);
}

TEST(Treatment, OnePixelRaster) {
    ::Run run;
    load_run(run, 1, 1);
    everything_is_boundary_and_contour(run);
    run.itab_in[0][0] = 80;
    run.m2 = -5;
    run.n2 = -5;
    const StageResult result = run_stage(run, treatment);
    EXPECT_EQ(result.outcome, Outcome::go_on);
    EXPECT_EQ(run.dtab[0][0], 90.0);
    EXPECT_EQ(run.m2, 0);  // where the last search, the boundary one, hit
    EXPECT_EQ(run.n2, 0);
    EXPECT_EQ(result.out,
              "\n\n primer paso\n\n\tLinea 0    Columna 0          \r     "
              "\n\n segundo paso\n\n"
              "\n\n tercer paso\n\n"
              "\n\n cuarto paso\n\n\tLinea 1          \r     "
              "\n\n quinto paso\n\n"
              "\n\n sexto paso\n\n\tLinea 1          \r     "
              "\n\n septimo paso\n\n");
}

TEST(Treatment, OneLineRaster) {
    ::Run run;
    load_run(run, 1, 7);
    everything_is_boundary_and_contour(run);
    for (int32_t j = 0; j < 7; ++j) run.itab_in[0][j] = 10 * j;
    run_stage(run, treatment);
    // Pass 1 interpolates (0,0) from the slope at (0,1) and (0,4) from (0,5),
    // although its neighbours are channel pixels; pass 4 and pass 6 fill in
    // from the right and left neighbours.
    const double expected[] = {55.0, 60.0, 65.0, 70.0, 75.0, 75.0, 75.0};
    for (int32_t j = 0; j < 7; ++j) EXPECT_EQ(run.dtab[0][j], expected[j]) << "column " << j;
}

TEST(Treatment, OneColumnRaster) {
    ::Run run;
    load_run(run, 7, 1);
    everything_is_boundary_and_contour(run);
    for (int32_t i = 0; i < 7; ++i) run.itab_in[i][0] = 10 * i;
    run_stage(run, treatment);
    // (0,0) from its own slope, (4,0) from the pixel above; passes 3 and 7
    // use only the pixels above and below in column 0.
    const double expected[] = {50.0, 53.75, 57.5, 61.25, 65.0, 65.0, 65.0};
    for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(run.dtab[i][0], expected[i]) << "line " << i;
}

TEST(Treatment, TwoByTwoRasterWithoutItsCorner) {
    ::Run run;
    load_run(run, 2, 2);
    everything_is_boundary_and_contour(run);
    run.tab_in[0][0] = 0;
    run.itab_in[0][0] = 0;
    run.itab_in[0][1] = 20;
    run.itab_in[1][0] = 40;
    run.itab_in[1][1] = 60;
    run.dtab[0][0] = 3.0;  // set-up clears what was there
    run.itab_out[1][0] = 9;
    run_stage(run, treatment);
    // Pass 5 finds no channel neighbour for (1,1) and interpolates it from
    // the slope at (0,1); passes 6 and 7 copy it.
    EXPECT_EQ(run.dtab[0][0], 0.0);
    EXPECT_EQ(run.dtab[1][1], 60.0);
    EXPECT_EQ(run.dtab[0][1], 60.0);
    EXPECT_EQ(run.dtab[1][0], 60.0);
    EXPECT_EQ(run.itab_out[1][0], 0);
}

TEST(Treatment, ChannelNeighboursHoldingZeroOrNegativeElevationsStillCount) {
    ::Run run;
    load_run(run, 1, 7);
    everything_is_boundary_and_contour(run);
    run.alti_lim = -100;
    run.itab_in[0][1] = 100;  // (0,0) gets (-100 + 100) / 2 = 0.0
    run.itab_in[0][5] = 20;   // (0,4) gets (-100 + 20) / 2 = -40
    run_stage(run, treatment);
    const double expected[] = {0.0, -10.0, -20.0, -30.0, -40.0, -40.0, -40.0};
    for (int32_t j = 0; j < 7; ++j) EXPECT_EQ(run.dtab[0][j], expected[j]) << "column " << j;
}

TEST(Treatment, WorkedInterpolationExamplesThroughTheStage) {
    // Channel pixel (4,4) of a 9x9 raster; the contour three columns to the
    // right (ring 3) and the boundary on the pixel itself (ring 1).
    struct Case {
        bool railing;
        int32_t alti_bar;
        double expected;
    };
    for (const Case c : {Case{false, 2, 85.0}, Case{true, 2, 83.5}}) {
        ::Run run;
        load_run(run, 9, 9, true);
        run.presence = 1;
        run.alti_bar = c.alti_bar;
        run.tab_in[4][4] = kChannel;
        run.tab_curv[4][7] = kContour;
        run.tab_perim[4][4] = kPerimeter;
        if (c.railing) run.tab_bar[4][4] = kRailing;
        run.itab_in[4][4] = 80;
        run_stage(run, treatment);
        EXPECT_EQ(run.dtab[4][4], c.expected) << "railing " << c.railing;
    }
    // Both at distance 2: the contour below (ring 2 at 271 degrees), the
    // boundary above and to the right (ring 2 at 1 degree).
    ::Run run;
    load_run(run, 9, 9);
    run.tab_in[4][4] = kChannel;
    run.tab_curv[5][4] = kContour;
    run.tab_bar[3][5] = kRailing;
    run.itab_in[3][5] = 80;
    run_stage(run, treatment);
    EXPECT_EQ(run.dtab[4][4], 90.0);
    EXPECT_EQ(run.m2, 3);
    EXPECT_EQ(run.n2, 5);
}

// One channel pixel at (0,0) of a 1x3 raster, the contour on it (ring 1) and
// the railing two columns away (ring 2), 20 above its slope of 40.
void railing_two_away(::Run& run, int32_t nb_col = 3, bool with_perimeter = false) {
    load_run(run, 1, nb_col, with_perimeter);
    run.alti_lim = 110;
    run.alti_bar = 20;
    run.tab_in[0][0] = kChannel;
    run.tab_curv[0][0] = kContour;
    run.tab_bar[0][2] = kRailing;
    run.itab_in[0][1] = 60;
    run.itab_in[0][2] = 40;
}

TEST(Treatment, PerimeterCountsOnlyWhenPresenceIsOneAndRailingTakesPrecedence) {
    {
        // No perimeter grid at all: presence 0 or 2 must never read it.
        for (const int32_t presence : {0, 2}) {
            ::Run run;
            railing_two_away(run);
            run.presence = presence;
            run_stage(run, treatment);
            EXPECT_EQ(run.dtab[0][0], 80.0) << "presence " << presence;  // 90 / 3 * 2 + 20
            EXPECT_EQ(run.tab_lim_inf[0][1], 255);
            EXPECT_EQ(run.tab_lim_inf[0][2], 1);
        }
    }
    {
        // A perimeter pixel next to the channel, ignored without presence 1.
        ::Run run;
        railing_two_away(run, 3, true);
        run.tab_perim[0][1] = kPerimeter;
        run_stage(run, treatment);
        EXPECT_EQ(run.dtab[0][0], 80.0);
    }
    {
        // With presence 1 it is the nearest boundary, and not a railing: its
        // slope of 60 is the base.
        ::Run run;
        railing_two_away(run, 3, true);
        run.presence = 1;
        run.tab_perim[0][1] = kPerimeter;
        run_stage(run, treatment);
        EXPECT_EQ(run.dtab[0][0], 85.0);  // 50 / 2 + 60
        EXPECT_EQ(run.tab_lim_inf[0][1], 1);
    }
    {
        // Railing and perimeter on the same pixel: a railing, so 60 - 20.
        ::Run run;
        railing_two_away(run, 3, true);
        run.presence = 1;
        run.tab_perim[0][1] = kPerimeter;
        run.tab_bar[0][1] = kRailing;
        run_stage(run, treatment);
        EXPECT_EQ(run.dtab[0][0], 75.0);  // 70 / 2 + 40
    }
}

TEST(Treatment, NoContourLineGivesTheBaseAndNoBoundaryGivesTheContourAltitude) {
    const std::string steps_1x3 =
        "\n\n primer paso\n\n\tLinea 0    Columna 0          \r     "
        "\n\n segundo paso\n\n"
        "\n\n tercer paso\n\n"
        "\n\n cuarto paso\n\n\tLinea 1          \r     "
        "\n\n quinto paso\n\n"
        "\n\n sexto paso\n\n\tLinea 1          \r     "
        "\n\n septimo paso\n\n";
    {
        ::Run run;
        railing_two_away(run);
        run.tono_lim = 256;
        const StageResult result = run_stage(run, treatment);
        EXPECT_EQ(result.outcome, Outcome::go_on);
        EXPECT_EQ(run.dtab[0][0], 20.0);
        EXPECT_EQ(result.out, steps_1x3 +
                                  "\n Aviso: 1 pixeles del cauce sin curva de nivel y 0 sin limite inferior a menos "
                                  "de 1500 pixeles \n");
    }
    {
        ::Run run;
        railing_two_away(run);
        run.tab_bar[0][2] = 0;
        const StageResult result = run_stage(run, treatment);
        EXPECT_EQ(run.dtab[0][0], 110.0);
        EXPECT_EQ(run.m2, 3);  // the last position the miss examined
        EXPECT_EQ(run.n2, 1499);
        EXPECT_EQ(result.out, steps_1x3 +
                                  "\n Aviso: 0 pixeles del cauce sin curva de nivel y 1 sin limite inferior a menos "
                                  "de 1500 pixeles \n");
    }
    {
        ::Run run;
        railing_two_away(run);
        run.tono_lim = -1;
        run.tab_bar[0][2] = 0;
        const StageResult result = run_stage(run, treatment);
        EXPECT_EQ(run.dtab[0][0], 110.0);
        EXPECT_NE(result.out.find("\n Aviso: 1 pixeles del cauce sin curva de nivel y 1 sin limite inferior"),
                  std::string::npos);
    }
}

TEST(Treatment, BoundaryMoreThan1500PixelsAwayIsNotFound) {
    ::Run run;
    load_run(run, 1, 1502);
    run.alti_lim = 110;
    run.alti_bar = 20;
    fill(run.tab_curv, run, kContour);
    run.tab_bar[0][1501] = kRailing;
    run.itab_in[0][1501] = 40;
    run.tab_in[0][0] = kChannel;     // 1501 columns from the railing
    run.tab_in[0][1500] = kChannel;  // next to it
    const StageResult result = run_stage(run, treatment);
    EXPECT_EQ(run.dtab[0][0], 110.0);
    EXPECT_EQ(run.dtab[0][1500], 65.0);  // (110 - 20) / 2 + 20
    EXPECT_EQ(run.m2, 0);
    EXPECT_EQ(run.n2, 1501);
    const std::string warning =
        "\n Aviso: 0 pixeles del cauce sin curva de nivel y 1 sin limite inferior a menos de 1500 pixeles \n";
    ASSERT_GE(result.out.size(), warning.size());
    EXPECT_EQ(result.out.substr(result.out.size() - warning.size()), warning);
}

TEST(Treatment, NoChannelPixelLeavesEveryElevationAtZero) {
    ::Run run;
    load_run(run, 6, 6);
    everything_is_boundary_and_contour(run);
    run.tono_cauce = 256;
    for (int32_t i = 0; i < 6; ++i)
        for (int32_t j = 0; j < 6; ++j) {
            run.itab_in[i][j] = 1000;
            run.dtab[i][j] = 1.5;
        }
    const StageResult result = run_stage(run, treatment);
    for (int32_t i = 0; i < 6; ++i)
        for (int32_t j = 0; j < 6; ++j) EXPECT_EQ(run.dtab[i][j], 0.0);
    EXPECT_EQ(result.out.find("Aviso"), std::string::npos);
}

TEST(Treatment, MarksTheLowerBoundaryInTheWorkGrid) {
    ::Run run;
    load_run(run, 3, 4, true);
    run.presence = 1;
    run.tab_bar[0][1] = kRailing;
    run.tab_perim[2][3] = kPerimeter;
    run.tab_perim[0][1] = kPerimeter;
    run.tab_bar[1][1] = kPerimeter;  // the other raster's tone means nothing here
    run.tab_perim[1][2] = kRailing;
    run_stage(run, treatment);
    ASSERT_NE(run.tab_lim_inf, nullptr);
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 4; ++j) {
            const bool boundary = (i == 0 && j == 1) || (i == 2 && j == 3);
            EXPECT_EQ(run.tab_lim_inf[i][j], boundary ? 1 : 255) << i << "," << j;
        }
}

TEST(Treatment, MissingInputGridsStopTheRunWithAMessage) {
    ::Run run;
    load_run(run, 3, 3);
    frucmatrice(run.tab_curv, run.nb_lig);
    run.tab_curv = nullptr;
    const StageResult result = run_stage(run, treatment);
    EXPECT_EQ(result.outcome, Outcome::failed);
    EXPECT_EQ(result.out, "\n Faltan mallas de entrada: no se puede calcular el cauce \n");

    ::Run perimeter_run;
    load_run(perimeter_run, 3, 3);
    perimeter_run.presence = 1;  // but no perimeter grid
    EXPECT_EQ(run_stage(perimeter_run, treatment).outcome, Outcome::failed);
}

}  // namespace
