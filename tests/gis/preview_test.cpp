// preview: a PNG of the right size, grey hillshade outside the channel,
// coloured channel pixels, and a legend with the elevation range.
#include <gtest/gtest.h>

#include <cmath>

#include "gis/bitmap_font.hpp"
#include "gis/dem_processing.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "gis/pair_files.hpp"
#include "gis/preview_image.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

constexpr int kColumns = 30;
constexpr int kLines = 20;

// A tilted plane with a channel in columns 10 to 14 whose tone is 9; other
// mask pixels hold another tone that must not be coloured. And a result: the
// channel holds elevations, the rest 0.
void write_pairs(const TempFolder& dir) {
    ElevationPair dem{kLines, kColumns, 10, {}};
    ElevationPair result = dem;
    MaskPair mask{kLines, kColumns, {}};
    for (int i = 0; i < kLines; ++i)
        for (int j = 0; j < kColumns; ++j) {
            dem.pixels.push_back(100 + 3 * i + 2 * j);
            result.pixels.push_back(j >= 10 && j <= 14 ? 100 + i : 0);
            mask.pixels.push_back(j >= 10 && j <= 14 ? 9 : (j == 20 ? 4 : 0));
        }
    save_elevation_pair(dir / "valle", dem);
    save_elevation_pair(dir / "cauce", result);
    save_mask_pair(dir / "zona", mask);
}

bool grey(const RasterRead& png, std::size_t k) {
    return png.values[0][k] == png.values[1][k] && png.values[1][k] == png.values[2][k];
}

// Grey outside columns 10 to 14 of the map, coloured inside.
void expect_channel_coloured(const RasterRead& png) {
    for (int i = 0; i < kLines; ++i)
        for (int j = 0; j < kColumns; ++j)
            EXPECT_EQ(grey(png, static_cast<std::size_t>(i * png.columns + j)), !(j >= 10 && j <= 14))
                << "line " << i << " column " << j;
}

TEST(Preview, ChannelPixelsAreColouredOthersGreyBelowALegendOfTheirRange) {
    TempFolder dir;
    write_pairs(dir);
    const BinaryRun run =
        run_tool({"preview", dir / "valle", dir / "p.png", "--mask", dir / "zona", "--tone", "9"});
    ASSERT_EQ(run.exit_status, 0) << run.err;

    const RasterRead png = read_raster(dir / "p.png");
    ASSERT_EQ(png.bands, 3);
    EXPECT_EQ(png.type, GDT_Byte);
    EXPECT_EQ(png.columns, kMinimumPreviewWidth);  // narrow rasters get room for the legend
    EXPECT_EQ(png.lines, kLines + kLegendHeight);
    expect_channel_coloured(png);
    // The lowest channel elevation (line 0, column 10) takes the ramp's
    // first colour, the highest (line 19, column 14) its last, both lit the same
    // way on a plane.
    const auto first = static_cast<std::size_t>(10);
    const auto last = static_cast<std::size_t>(19 * png.columns + 14);
    EXPECT_GT(png.values[2][first], png.values[0][first]);  // blue
    EXPECT_GT(png.values[0][last], png.values[2][last]);    // red

    // The legend below the map: a coloured bar, and black pixels exactly
    // those of the labels 120 and 185, the lowest and highest channel
    // elevations (100 + 2*10 at line 0, 100 + 3*19 + 2*14 at line 19), set in
    // the tool's font, left- and right-aligned with the bar.
    RgbImage expected(png.columns, png.lines, Rgb{255, 255, 255});
    const int text_top = kLines + 3 + 11;
    draw_text(expected, 4, text_top, "120", 3, Rgb{0, 0, 0});
    draw_text(expected, png.columns - 4 - text_width("185", 3), text_top, "185", 3, Rgb{0, 0, 0});
    int black = 0;
    int coloured = 0;
    for (int y = kLines; y < png.lines; ++y)
        for (int x = 0; x < png.columns; ++x) {
            const auto k = static_cast<std::size_t>(y * png.columns + x);
            const bool is_black = png.values[0][k] == 0 && png.values[1][k] == 0 && png.values[2][k] == 0;
            EXPECT_EQ(is_black, expected.at(x, y).r == 0) << "x " << x << " y " << y;
            black += is_black ? 1 : 0;
            coloured += grey(png, k) ? 0 : 1;
        }
    EXPECT_GT(black, 0);
    EXPECT_GT(coloured, 0);
}

TEST(Preview, WithoutAMaskTheZeroBackgroundOfAResultStaysGrey) {
    TempFolder dir;
    write_pairs(dir);
    const BinaryRun run = run_tool({"preview", dir / "cauce", dir / "p.png"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    expect_channel_coloured(read_raster(dir / "p.png"));
}

TEST(Preview, HillshadeLightsSlopesFacingTheNorthWest) {
    // A slope rising to the south-east faces the light from the north-west;
    // flat ground gets sin(45 degrees) of it; the opposite slope is in shadow.
    GDALAllRegister();
    ElevationPair facing;
    facing.lines = 5;
    facing.columns = 5;
    facing.pixel_size = 1;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) facing.pixels.push_back(i + j);
    ElevationPair away = facing;
    for (int32_t& z : away.pixels) z = -z;
    ElevationPair flat = facing;
    for (int32_t& z : flat.pixels) z = 42;
    const int lit = hillshade(facing, 1.0)[12];
    const int level = hillshade(flat, 1.0)[12];
    const int dark = hillshade(away, 1.0)[12];
    EXPECT_EQ(level, std::lround(1 + 254 * std::sqrt(0.5)));
    EXPECT_GT(lit, level);
    EXPECT_LT(dark, 30);
    // A z factor below 1 flattens the slope towards the level's light.
    const int gentle = hillshade(facing, 0.1)[12];
    EXPECT_LT(gentle, lit);
    EXPECT_GT(gentle, level);
}

}  // namespace
