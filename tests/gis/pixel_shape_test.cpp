// The ring search of the console program counts pixels: import-dem warns
// about pixels that are not square metres (a CRS in degrees, oblong or tiny
// pixels) and puts a raster on another CRS or pixel size through GDAL's warper.
#include <gtest/gtest.h>

#include "tests/gis/gis_fixture.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// The descriptor's pixel size is the geotransform's, rounded half away from
// zero (1 without a geotransform).
TEST(PixelShape, PixelSizeIsStoredAndPixelsTheRingSearchWouldMismeasureAreWarnedAbout) {
    TempFolder dir;
    struct Case {
        std::optional<Transform> transform;
        int epsg;
        const char* descriptor_pixel;
        std::string warning;  // after "aviso: " and the source's name
    };
    const Case cases[] = {
        {kTenMetreGrid, kUtmZone14, "10", ""},
        {Transform{-98.99, 0.0001, 0.0, 37.01, 0.0, -0.0001}, 4326, "0",
         " esta en un SRC geografico (WGS 84): sus pixeles miden grados, no metros, y la busqueda en anillos cuenta "
         "pixeles; reproyecte con -t_srs EPSG:32614 -tr TAMANO TAMANO (o con gdalwarp)"},
        {Transform{1000.0, 10.0, 0.0, 2000.0, 0.0, -5.0}, kUtmZone14, "10",
         "los pixeles de @ no son cuadrados (10 x 5): la busqueda en anillos cuenta pixeles y deforma las distancias; "
         "remuestree con -tr 5 5 (o con gdalwarp -tr)"},
        {Transform{1000.0, 0.4, 0.0, 2000.0, 0.0, -0.4}, kUtmZone14, "0",
         "el pixel de @ mide 0.4, menos de media unidad: el descriptor guarda 0 como tamano de pixel"},
        {std::nullopt, 0, "1", ""},
    };
    for (const Case& c : cases) {
        TiffRecipe tiff = one_band(3, 2, {1, 2, 3, 4, 5, 6});
        tiff.transform = c.transform;
        tiff.epsg = c.epsg;
        write_geotiff(dir / "dem.tif", tiff);
        const BinaryRun run = run_tool({"import-dem", dir / "dem.tif", dir / "valle", "--overwrite"});
        ASSERT_EQ(run.exit_status, 0) << run.err;
        std::string expected;
        if (!c.warning.empty()) {
            std::string text = c.warning;
            if (const auto at = text.find('@'); at != std::string::npos)
                text.replace(at, 1, dir / "dem.tif");
            else
                text = (dir / "dem.tif") + text;
            expected = "\n lorvantide-raster: aviso: " + text + " \n";
        }
        EXPECT_EQ(run.err, expected);
        EXPECT_EQ(read_file(dir / "valle_m4.txt"), std::string("2\n3\n4\n1\n6\n") + c.descriptor_pixel + "\n");
    }
}

TEST(PixelShape, ImportWarpsToTheAskedCrsAndPixelSize) {
    TempFolder dir;
    // Oblong pixels, 10 m wide and 5 m high: -tr 5 5 splits every column in two.
    TiffRecipe tiff = one_band(3, 2, {1, 2, 3, 4, 5, 6});
    tiff.transform = Transform{1000.0, 10.0, 0.0, 2000.0, 0.0, -5.0};
    write_geotiff(dir / "oblong.tif", tiff);
    const BinaryRun square = run_tool({"import-dem", dir / "oblong.tif", dir / "sq", "-tr", "5", "5"});
    ASSERT_EQ(square.exit_status, 0) << square.err;
    EXPECT_EQ(square.err, "");
    EXPECT_EQ(elevation_raw(dir / "sq_m4.raw"), (std::vector<int32_t>{1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}));
    EXPECT_EQ(read_raster(dir / "sq_m4.vrt").transform, (Transform{1000.0, 5.0, 0.0, 2000.0, 0.0, -5.0}));

    // Degrees to UTM metres: the sidecar is in the asked CRS with square 5 m pixels.
    TiffRecipe geographic = one_band(20, 20, std::vector<double>(400, 150.0));
    geographic.transform = Transform{-98.99, 0.0001, 0.0, 37.01, 0.0, -0.0001};
    geographic.epsg = 4326;
    write_geotiff(dir / "degrees.tif", geographic);
    const BinaryRun utm =
        run_tool({"import-dem", dir / "degrees.tif", dir / "utm", "-t_srs", "EPSG:32614", "-tr", "5", "5", "-q"});
    ASSERT_EQ(utm.exit_status, 0) << utm.err;
    const RasterRead warped = read_raster(dir / "utm_m4.vrt");
    EXPECT_TRUE(same_crs_as_epsg(warped.crs_wkt, kUtmZone14));
    EXPECT_EQ(warped.transform[1], 5.0);
    EXPECT_EQ(warped.transform[5], -5.0);
    for (double v : warped.values[0]) EXPECT_EQ(v, 150.0);
    EXPECT_EQ(read_file(dir / "utm_m4.txt").substr(read_file(dir / "utm_m4.txt").rfind("150\n")), "150\n5\n");

    const BinaryRun bad = run_tool({"import-dem", dir / "oblong.tif", dir / "x", "-t_srs", "EPSG:99999999"});
    EXPECT_EQ(bad.exit_status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "x_m4.raw"));
}

}  // namespace
