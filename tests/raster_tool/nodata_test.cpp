// Pixels without data: filled on import with a value the user chooses (by
// default the lowest valid elevation), and restored as nodata on export.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "gis_fixture.hpp"
#include "run_tool.hpp"
#include "temp_folder.hpp"

namespace {

TiffRecipe with_holes() {
    TiffRecipe tiff;
    tiff.columns = 3;
    tiff.lines = 2;
    tiff.type = GDT_Float32;
    tiff.nodata = -9999.0;
    tiff.bands = {{-9999.0, 12.0, 7.5, std::nan(""), 30.0, -9999.0}};
    return tiff;
}

TEST(Nodata, FilledWithTheLowestValidValueOrTheChosenOne) {
    TempFolder dir;
    write_geotiff(dir / "dem.tif", with_holes());

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "low"}).exit_status, 0);
    // 7.5 rounds to 8, the lowest valid value; NaN counts as no data as well.
    EXPECT_EQ(elevation_raw(dir / "low_m4.raw"), (std::vector<int32_t>{8, 12, 8, 8, 30, 8}));
    EXPECT_EQ(read_file(dir / "low_m4.txt"), "2\n3\n4\n8\n30\n10\n");

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "fill", "--nodata", "-5"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "fill_m4.raw"), (std::vector<int32_t>{-5, 12, 8, -5, 30, -5}));
    EXPECT_EQ(read_file(dir / "fill_m4.txt"), "2\n3\n4\n-5\n30\n10\n");
}

TEST(Nodata, ARasterWithoutAnyDataIsRefused) {
    TempFolder dir;
    TiffRecipe tiff = with_holes();
    tiff.bands = {std::vector<double>(6, -9999.0)};
    write_geotiff(dir / "empty.tif", tiff);
    const BinaryRun run = run_tool({"import-dem", dir / "empty.tif", dir / "e"});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("no tiene ningun pixel con dato"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "e_m4.raw"));
}

TEST(Nodata, ExportTurnsPixelsOutsideTheChannelIntoNodataOnlyWhenAsked) {
    TempFolder dir;
    write_geotiff(dir / "dem.tif", with_holes());
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle"}).exit_status, 0);
    write_file(dir / "cauce_m4.raw", std::string("\0\0\0\0\x05\0\0\0\0\0\0\0\x06\0\0\0\0\0\0\0\x07\0\0\0", 24));
    write_file(dir / "cauce_m4.txt", "2\n3\n4\n0\n7\n10\n");

    ASSERT_EQ(run_tool({"export", dir / "cauce", dir / "plain.tif", "--like", dir / "valle"}).exit_status, 0);
    const RasterRead plain = read_raster(dir / "plain.tif");
    EXPECT_EQ(plain.values[0], (std::vector<double>{0, 5, 0, 6, 0, 7}));
    EXPECT_FALSE(plain.nodata.has_value());

    ASSERT_EQ(run_tool({"export", dir / "cauce", dir / "holes.tif", "--like", dir / "valle", "--nodata", "-32768"})
                  .exit_status,
              0);
    const RasterRead holes = read_raster(dir / "holes.tif");
    EXPECT_EQ(holes.values[0], (std::vector<double>{-32768, 5, -32768, 6, -32768, 7}));
    EXPECT_EQ(holes.nodata, -32768.0);
}

}  // namespace
