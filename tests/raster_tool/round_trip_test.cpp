// GeoTIFF -> elevation pair -> GeoTIFF keeps every pixel, the geotransform
// and the CRS, as GDAL's own reader sees them.
#include <gtest/gtest.h>

#include <filesystem>

#include "gis_fixture.hpp"
#include "run_tool.hpp"
#include "temp_folder.hpp"

namespace {

std::vector<double> ramp_values(int columns, int lines, double start) {
    std::vector<double> values;
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < columns; ++j) values.push_back(start + 7.0 * i - 3.0 * j);
    return values;
}

TEST(RasterRoundTrip, GeoTiffToPairAndBackKeepsPixelsAndGeoreferencing) {
    TempFolder dir;
    TiffRecipe tiff;
    tiff.columns = 7;
    tiff.lines = 5;
    tiff.transform = Transform{500000.0, 2.5, 0.0, 4100000.0, 0.0, -2.5};
    tiff.bands = {ramp_values(7, 5, -20.0)};
    tiff.bands[0][3] = 2147483647.0;  // the extremes of the pair's range survive
    tiff.bands[0][4] = -2147483648.0;
    write_geotiff(dir / "dem.tif", tiff);

    const BinaryRun imported = run_tool({"import-dem", dir / "dem.tif", dir / "valle"});
    ASSERT_EQ(imported.exit_status, 0) << imported.err;
    EXPECT_EQ(imported.err, "");  // no progress on a pipe

    std::vector<int32_t> expected;
    for (double v : tiff.bands[0]) expected.push_back(static_cast<int32_t>(v));
    EXPECT_EQ(elevation_raw(dir / "valle_m4.raw"), expected);
    // lines, columns, bytes per pixel, minimum, maximum, pixel 2.5 rounded half away from zero
    EXPECT_EQ(read_file(dir / "valle_m4.txt"), "5\n7\n4\n-2147483648\n2147483647\n3\n");

    // The sidecar opens in GDAL as the pair itself, georeferenced.
    const RasterRead sidecar = read_raster(dir / "valle_m4.vrt");
    EXPECT_EQ(sidecar.values[0], std::vector<double>(expected.begin(), expected.end()));
    EXPECT_EQ(sidecar.transform, *tiff.transform);

    const BinaryRun exported =
        run_tool({"export", dir / "valle", dir / "back.tif", "--like", dir / "valle"});
    ASSERT_EQ(exported.exit_status, 0) << exported.err;
    const RasterRead back = read_raster(dir / "back.tif");
    EXPECT_EQ(back.columns, 7);
    EXPECT_EQ(back.lines, 5);
    EXPECT_EQ(back.type, GDT_Int32);
    ASSERT_TRUE(back.has_transform);
    EXPECT_EQ(back.transform, *tiff.transform);
    EXPECT_TRUE(same_crs_as_epsg(back.crs_wkt, kUtmZone14)) << back.crs_wkt;
    EXPECT_EQ(back.values[0], std::vector<double>(expected.begin(), expected.end()));
    EXPECT_FALSE(back.nodata.has_value());
}

TEST(RasterRoundTrip, ScaleRoundsHalvesAwayFromZeroAndBandIsChosen) {
    TempFolder dir;
    TiffRecipe tiff;
    tiff.columns = 4;
    tiff.lines = 1;
    tiff.type = GDT_Float64;
    tiff.bands = {{0.25, -0.25, 0.24, 123.456}, {1.0, 2.0, 3.0, 4.0}};
    write_geotiff(dir / "dem.tif", tiff);

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "a", "--scale", "10"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "a_m4.raw"), (std::vector<int32_t>{3, -3, 2, 1235}));
    EXPECT_EQ(read_file(dir / "a_m4.txt"), "1\n4\n4\n-3\n1235\n10\n");

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "b", "--band", "2", "--scale=-1"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "b_m4.raw"), (std::vector<int32_t>{-1, -2, -3, -4}));
}

TEST(RasterRoundTrip, PixelSizeFieldFollowsTheGeotransform) {
    TempFolder dir;
    struct Case {
        std::optional<Transform> transform;
        const char* descriptor;
    };
    const Case cases[] = {
        {Transform{0.0, 0.4, 0.0, 0.0, 0.0, -0.4}, "1\n1\n4\n9\n9\n0\n"},    // narrower than half a unit
        {Transform{0.0, 30.0, 0.0, 0.0, 0.0, -30.0}, "1\n1\n4\n9\n9\n30\n"},
        {Transform{0.0, 4.5, 0.0, 0.0, 0.0, -4.5}, "1\n1\n4\n9\n9\n5\n"},
        {std::nullopt, "1\n1\n4\n9\n9\n1\n"},                                // no geotransform at all
    };
    for (const Case& c : cases) {
        TiffRecipe tiff;
        tiff.columns = 1;
        tiff.lines = 1;
        tiff.transform = c.transform;
        tiff.epsg = c.transform ? kUtmZone14 : 0;
        tiff.bands = {{9.0}};
        write_geotiff(dir / "one.tif", tiff);
        ASSERT_EQ(run_tool({"import-dem", dir / "one.tif", dir / "one"}).exit_status, 0);
        EXPECT_EQ(read_file(dir / "one_m4.txt"), c.descriptor);
    }
}

TEST(RasterRoundTrip, ExportWritesOtherFormatsWithTheElevationPairsGrid) {
    TempFolder dir;
    TiffRecipe tiff;
    tiff.columns = 3;
    tiff.lines = 2;
    tiff.bands = {{1, 2, 3, 4, 5, 6}};
    write_geotiff(dir / "dem.tif", tiff);
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle"}).exit_status, 0);
    // A result the console program could have written: same size, other values.
    write_file(dir / "cauce_m4.raw", std::string("\x0a\0\0\0\0\0\0\0\xff\xff\xff\xff\0\0\0\0\x01\0\0\0\0\0\0\0", 24));
    write_file(dir / "cauce_m4.txt", "2\n3\n4\n-1\n10\n10\n");

    const BinaryRun run = run_tool({"export", dir / "cauce", dir / "cauce.img", "--like", dir / "valle",
                                    "--format", "HFA", "--nodata", "-9999"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const RasterRead back = read_raster(dir / "cauce.img");
    EXPECT_EQ(back.transform, kTenMetreGrid);
    EXPECT_TRUE(same_crs_as_epsg(back.crs_wkt, kUtmZone14));
    EXPECT_EQ(back.values[0], (std::vector<double>{10, -9999, -1, -9999, 1, -9999}));
    EXPECT_EQ(back.nodata, -9999.0);
}

}  // namespace
