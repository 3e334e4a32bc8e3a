// import-mask: vector features burned on exactly the expected pixels of the
// elevation pair's grid, raster classes taken only on that same grid.
#include <gdal_alg.h>
#include <gtest/gtest.h>
#include <ogr_geometry.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <set>

#include "gis/burn_clip.hpp"
#include "gis/gdal_env.hpp"
#include "gis/georef.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

constexpr int kColumns = 10;
constexpr int kLines = 8;

// Each test over an imported 10 x 8 elevation pair, valle, on the ten-metre grid.
class ImportMask : public ::testing::Test {
protected:
    void SetUp() override {
        write_geotiff(dir / "dem.tif", one_band(kColumns, kLines, std::vector<double>(kColumns * kLines, 100.0)));
        const BinaryRun run = run_tool({"import-dem", dir / "dem.tif", dir / "valle"});
        ASSERT_EQ(run.exit_status, 0) << run.err;
    }
    TempFolder dir;
};

using Pixels = std::set<std::pair<int, int>>;

// Pixels (line, column) of a mask that hold `tone`; any other non-zero value fails.
Pixels marked(const std::vector<uint8_t>& mask, int tone) {
    Pixels pixels;
    for (std::size_t k = 0; k < mask.size(); ++k) {
        if (mask[k] == 0) continue;
        EXPECT_EQ(mask[k], tone) << "pixel " << k;
        pixels.insert({static_cast<int>(k) / kColumns, static_cast<int>(k) % kColumns});
    }
    return pixels;
}

// The pixels from (top, left) to (bottom, right), both included.
Pixels block(int top, int left, int bottom, int right) {
    Pixels pixels;
    for (int i = top; i <= bottom; ++i)
        for (int j = left; j <= right; ++j) pixels.insert({i, j});
    return pixels;
}

// Map coordinates of a pixel centre on the ten-metre grid.
std::string centre(double line, double column) {
    return std::to_string(1000.0 + 10.0 * (column + 0.5)) + " " + std::to_string(2000.0 - 10.0 * (line + 0.5));
}

TEST_F(ImportMask, VectorLinesBurnOntoExactlyThePixelsTheyCross) {
    // Along the middle of line 3 from column 0 to 7, and down the middle of
    // column 5 from line 1 to 6.
    write_geopackage(dir / "banks.gpkg",
                     {{"banks",
                       {{"LINESTRING (" + centre(3, -0.3) + ", " + centre(3, 7.3) + ")", 1},
                        {"LINESTRING (" + centre(0.7, 5) + ", " + centre(6.3, 5) + ")", 2}}}});
    const BinaryRun run =
        run_tool({"import-mask", dir / "banks.gpkg", dir / "bar", "--like", dir / "valle", "--tone", "7"});
    ASSERT_EQ(run.exit_status, 0) << run.err;

    Pixels expected = block(3, 0, 3, 7);
    expected.merge(block(1, 5, 6, 5));
    const std::vector<uint8_t> mask = mask_raw(dir / "bar.raw");
    ASSERT_EQ(mask.size(), static_cast<std::size_t>(kColumns * kLines));
    EXPECT_EQ(marked(mask, 7), expected);
    EXPECT_EQ(read_file(dir / "bar.txt"), "8\n10\n");
}

TEST_F(ImportMask, FeaturesInAnotherCrsAreReprojectedOntoTheGrid) {
    // The middle of line 3, from column 0 to 7, stated in longitude and latitude.
    OGRSpatialReferenceH utm = OSRNewSpatialReference(nullptr);
    OGRSpatialReferenceH geographic = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(utm, kUtmZone14);
    OSRImportFromEPSG(geographic, 4326);
    OSRSetAxisMappingStrategy(utm, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(geographic, OAMS_TRADITIONAL_GIS_ORDER);
    OGRCoordinateTransformationH to_degrees = OCTNewCoordinateTransformation(utm, geographic);
    double x[2] = {1000.0 + 10.0 * 0.2, 1000.0 + 10.0 * 7.8};
    double y[2] = {1965.0, 1965.0};
    ASSERT_TRUE(OCTTransform(to_degrees, 2, x, y, nullptr));
    OCTDestroyCoordinateTransformation(to_degrees);
    OSRDestroySpatialReference(utm);
    OSRDestroySpatialReference(geographic);
    char wkt[256];
    std::snprintf(wkt, sizeof wkt, "LINESTRING (%.12f %.12f, %.12f %.12f)", x[0], y[0], x[1], y[1]);
    write_geopackage(dir / "deg.gpkg", {{"deg", {{wkt, 0}}}}, 4326);

    const BinaryRun run = run_tool({"import-mask", dir / "deg.gpkg", dir / "m", "--like", dir / "valle"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(marked(mask_raw(dir / "m.raw"), 255), block(3, 0, 3, 7));
}

TEST_F(ImportMask, WhereFiltersFeaturesAndLayersAreChosenByName) {
    write_geopackage(dir / "rio.gpkg",
                     {{"contours",
                       {{"LINESTRING (" + centre(1, 0) + ", " + centre(1, 9) + ")", 205},
                        {"LINESTRING (" + centre(6, 0) + ", " + centre(6, 9) + ")", 210}}},
                      {"zone", {{"POLYGON ((1020 1980, 1050 1980, 1050 1940, 1020 1940, 1020 1980))", 0}}}});

    const BinaryRun contour = run_tool({"import-mask", dir / "rio.gpkg", dir / "curva", "--like", dir / "valle",
                                        "--layer", "contours", "--where", "elev = 210"});
    ASSERT_EQ(contour.exit_status, 0) << contour.err;
    EXPECT_EQ(marked(mask_raw(dir / "curva.raw"), 255), block(6, 0, 6, kColumns - 1));

    // A polygon whose edges lie on pixel edges covers the pixels whose centres it holds.
    const BinaryRun zone =
        run_tool({"import-mask", dir / "rio.gpkg", dir / "zona", "--like", dir / "valle", "--layer", "zone"});
    ASSERT_EQ(zone.exit_status, 0) << zone.err;
    EXPECT_EQ(marked(mask_raw(dir / "zona.raw"), 255), block(2, 2, 5, 4));

    const BinaryRun unnamed = run_tool({"import-mask", dir / "rio.gpkg", dir / "x", "--like", dir / "valle"});
    EXPECT_EQ(unnamed.exit_status, 1);
    EXPECT_NE(unnamed.err.find("tiene varias capas; elija una con --layer (capas: contours, zone)"),
              std::string::npos)
        << unnamed.err;
    const BinaryRun nothing = run_tool({"import-mask", dir / "rio.gpkg", dir / "x", "--like", dir / "valle",
                                        "--layer", "contours", "--where", "elev = 999"});
    EXPECT_EQ(nothing.exit_status, 1);
    EXPECT_NE(nothing.err.find("ningun pixel de la rejilla"), std::string::npos) << nothing.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.raw"));
}

TEST_F(ImportMask, AllTouchedAddsEveryPixelTheLineTouches) {
    // A shallow diagonal: it crosses pixels whose centres it passes far from.
    write_geopackage(dir / "d.gpkg", {{"d", {{"LINESTRING (1001 1999, 1099 1951)", 0}}}});
    ASSERT_EQ(run_tool({"import-mask", dir / "d.gpkg", dir / "thin", "--like", dir / "valle"}).exit_status, 0);
    ASSERT_EQ(
        run_tool({"import-mask", dir / "d.gpkg", dir / "wide", "--like", dir / "valle", "--all-touched"}).exit_status,
        0);
    const auto thin = marked(mask_raw(dir / "thin.raw"), 255);
    const auto wide = marked(mask_raw(dir / "wide.raw"), 255);
    // Every pixel the segment passes through, worked out by hand: it falls
    // 48 m over 98 m, so it leaves line 0 at x = 1019.4 (column 1), line 1 at
    // x = 1039.8 (column 3), line 2 at x = 1060.2 (column 6) and line 3 at
    // x = 1080.6 (column 8).
    const Pixels touched = {{0, 0}, {0, 1}, {1, 1}, {1, 2}, {1, 3}, {2, 3}, {2, 4},
                                                   {2, 5}, {2, 6}, {3, 6}, {3, 7}, {3, 8}, {4, 8}, {4, 9}};
    EXPECT_EQ(wide, touched);
    EXPECT_LT(thin.size(), wide.size());
    for (const auto& pixel : thin) EXPECT_TRUE(touched.count(pixel)) << pixel.first << "," << pixel.second;
}

TEST_F(ImportMask, AVertexFarOffTheGridIsCutAwayBeforeTheBurn) {
    // A bank from inside the grid down to a vertex 10^12 m away (a slip of
    // the units), which GDAL walked pixel by pixel, and a line that crosses
    // the grid on the same pixels: down the middle of column 0.
    write_geopackage(dir / "far.gpkg", {{"far", {{"LINESTRING (1005 1995, 1015 -1000000000000)", 0}}},
                                        {"near", {{"LINESTRING (1005 1995, 1005 1900)", 0}}}});
    for (const char* layer : {"far", "near"}) {
        ChildRequest request;
        request.binary = raster_tool_binary();
        request.arguments = {"import-mask", dir / "far.gpkg", dir / layer, "--like", dir / "valle", "--layer", layer,
                             "--all-touched"};
        request.timeout_seconds = 30;  // the uncut line took minutes
        const BinaryRun run = run_child(request);
        ASSERT_EQ(run.exit_status, 0) << layer << run.err;
    }
    EXPECT_EQ(mask_raw(dir / "far.raw"), mask_raw(dir / "near.raw"));
    EXPECT_EQ(marked(mask_raw(dir / "far.raw"), 255), block(0, 0, kLines - 1, 0));
}

// Every geometry burned cut to the grid and as it is: the same pixels.
// Lines and polygons of random points up to 12 pixels off a grid (a rotated
// one too), burned with ALL_TOUCHED cut to the grid and whole: the same pixels.
TEST(BurnClip, CutGeometriesBurnTheSamePixelsAsWholeOnes) {
    GDALAllRegister();
    std::mt19937 random(20240607);
    int cut = 0;
    for (const Transform& t : {kTenMetreGrid, Transform{1000.0, 8.0, 6.0, 2000.0, 6.0, -8.0}}) {
        Georef grid{17, 23, true, {t[0], t[1], t[2], t[3], t[4], t[5]}, "", ""};
        std::uniform_real_distribution<double> column(-12.0, 35.0), line(-12.0, 29.0);
        const auto burned = [&](OGRGeometry* geometry) {
            Dataset raster = memory_raster(grid.columns, grid.lines, 1, GDT_Byte);
            auto* handle = static_cast<GDALDatasetH>(raster.get());
            set_transform(handle, grid);
            OGRGeometryH shape = OGRGeometry::ToHandle(geometry);
            const int band = 1;
            const double value = 255.0;
            StringList options;
            options.set("ALL_TOUCHED", "TRUE");
            std::vector<uint8_t> pixels(static_cast<std::size_t>(grid.columns * grid.lines));
            const bool done = (shape == nullptr || GDALRasterizeGeometries(handle, 1, &band, 1, &shape, nullptr, nullptr,
                                                                           &value, options.get(), nullptr,
                                                                           nullptr) == CE_None) &&
                              GDALRasterIO(GDALGetRasterBand(handle, 1), GF_Read, 0, 0, grid.columns, grid.lines,
                                           pixels.data(), grid.columns, grid.lines, GDT_Byte, 0, 0) == CE_None;
            EXPECT_TRUE(done);
            return pixels;
        };
        for (int shape = 0; shape < 600; ++shape) {
            auto ring = std::make_unique<OGRLinearRing>();
            for (int k = 0; k < 2 + shape % 5; ++k) {
                const double c = column(random), l = line(random);
                ring->addPoint(t[0] + c * t[1] + l * t[2], t[3] + c * t[4] + l * t[5]);
            }
            std::unique_ptr<OGRGeometry> whole;
            if (shape % 3 == 0) {
                ring->closeRings();
                auto polygon = std::make_unique<OGRPolygon>();
                polygon->addRingDirectly(ring.release());
                whole = std::move(polygon);
            } else {
                whole = std::make_unique<OGRLineString>(*ring);
            }
            const auto clipped = clipped_to_box(std::unique_ptr<OGRGeometry>(whole->clone()), burn_box(grid));
            cut += clipped && !clipped->Equals(whole.get());
            char* wkt = nullptr;
            whole->exportToWkt(&wkt);
            EXPECT_EQ(burned(whole.get()), burned(clipped.get())) << wkt;
            CPLFree(wkt);
        }
    }
    EXPECT_GT(cut, 300);  // most shapes reach beyond the box and are cut
}

TEST_F(ImportMask, RasterClassOnTheSameGridBecomesTheTone) {
    TiffRecipe classes = one_band(kColumns, kLines, std::vector<double>(kColumns * kLines, 0.0), GDT_Float32);
    classes.nodata = 9;
    classes.bands[0][0] = 3;
    classes.bands[0][11] = 3;
    classes.bands[0][12] = 5;
    classes.bands[0][13] = 9;             // nodata is never marked
    classes.bands[0][14] = std::nan("");  // nor is NaN, though it is not 0
    write_geotiff(dir / "classes.tif", classes);

    ASSERT_EQ(run_tool({"import-mask", dir / "classes.tif", dir / "c3", "--like", dir / "valle", "--class", "3",
                        "--tone", "200"})
                  .exit_status,
              0);
    EXPECT_EQ(marked(mask_raw(dir / "c3.raw"), 200), (Pixels{{0, 0}, {1, 1}}));
    ASSERT_EQ(run_tool({"import-mask", dir / "classes.tif", dir / "any", "--like", dir / "valle"}).exit_status, 0);
    EXPECT_EQ(marked(mask_raw(dir / "any.raw"), 255), (Pixels{{0, 0}, {1, 1}, {1, 2}}));
}

TEST_F(ImportMask, RasterOnAnotherGridIsRefusedNamingWhatDiffers) {
    struct Case {
        int columns;
        int lines;
        Transform transform;
        int epsg;
        std::string difference;
    };
    const Case cases[] = {
        {kColumns + 1, kLines, kTenMetreGrid, kUtmZone14, "tamano 11 columnas x 8 lineas (el MDE: 10 x 8)"},
        {kColumns, kLines - 1, kTenMetreGrid, kUtmZone14, "tamano 10 columnas x 7 lineas (el MDE: 10 x 8)"},
        {kColumns, kLines, Transform{1010.0, 10.0, 0.0, 2000.0, 0.0, -10.0}, kUtmZone14,
         "origen (1010, 2000) (el MDE: (1000, 2000))"},
        {kColumns, kLines, Transform{1000.0, 10.0, 0.0, 2000.0, 0.0, -5.0}, kUtmZone14,  // line spacing alone
         "pixel 10 x -5 (el MDE: 10 x -10)"},
        {kColumns, kLines, kTenMetreGrid, 32615,  // the same numbers in another CRS
         "SRC WGS 84 / UTM zone 15N (el MDE: WGS 84 / UTM zone 14N)"},
    };
    for (const Case& c : cases) {
        TiffRecipe tiff =
            one_band(c.columns, c.lines, std::vector<double>(static_cast<std::size_t>(c.columns * c.lines), 1.0), GDT_Byte);
        tiff.transform = c.transform;
        tiff.epsg = c.epsg;
        write_geotiff(dir / "other.tif", tiff);
        expect_refused({"import-mask", dir / "other.tif", dir / "m", "--like", dir / "valle"},
                       "la rejilla de " + (dir / "other.tif") + " no coincide con la del MDE " + (dir / "valle") +
                           ": " + c.difference +
                           "; llevelo a esa rejilla con gdalwarp -r near -t_srs EPSG:32614 -te 1000 1920 1100 2000 "
                           "-ts 10 8 " + (dir / "other.tif") + " SALIDA.tif");
        EXPECT_FALSE(std::filesystem::exists(dir / "m.raw"));
        EXPECT_FALSE(std::filesystem::exists(dir / "m.txt"));
    }
}

TEST_F(ImportMask, SourcesWithoutACrsAreTakenOnlyWhenTheUserSaysWhichItIs) {
    TiffRecipe tiff = one_band(kColumns, kLines, std::vector<double>(kColumns * kLines, 0.0), GDT_Byte);
    tiff.epsg = 0;
    tiff.bands[0][3] = 1;
    write_geotiff(dir / "bare.tif", tiff);
    write_geopackage(dir / "bare.gpkg", {{"l", {{"LINESTRING (" + centre(3, -0.3) + ", " + centre(3, 7.3) + ")", 0}}}},
                     0);
    for (const char* source : {"bare.tif", "bare.gpkg"}) {
        expect_refused({"import-mask", dir / source, dir / "m", "--like", dir / "valle"},
                       (dir / source) + " no declara su SRC y el MDE " + (dir / "valle") +
                           " esta en WGS 84 / UTM zone 14N: si " + (dir / source) +
                           " esta en ese SRC, digalo con --assume-crs EPSG:32614");
        EXPECT_FALSE(std::filesystem::exists(dir / "m.raw"));
    }
    const BinaryRun raster =
        run_tool({"import-mask", dir / "bare.tif", dir / "r", "--like", dir / "valle", "--assume-crs", "EPSG:32614"});
    ASSERT_EQ(raster.exit_status, 0) << raster.err;
    EXPECT_EQ(marked(mask_raw(dir / "r.raw"), 255), (Pixels{{0, 3}}));
    // Assumed in another CRS, the raster is on another grid; the gdalwarp
    // line says which CRS the source is in, or gdalwarp would not know.
    expect_refused({"import-mask", dir / "bare.tif", dir / "r2", "--like", dir / "valle", "--assume-crs",
                    "EPSG:32615"},
                   "la rejilla de " + (dir / "bare.tif") + " no coincide con la del MDE " + (dir / "valle") +
                       ": SRC WGS 84 / UTM zone 15N (el MDE: WGS 84 / UTM zone 14N); llevelo a esa rejilla con "
                       "gdalwarp -r near -s_srs EPSG:32615 -t_srs EPSG:32614 -te 1000 1920 1100 2000 -ts 10 8 " +
                       (dir / "bare.tif") + " SALIDA.tif");
    const BinaryRun vector =
        run_tool({"import-mask", dir / "bare.gpkg", dir / "v", "--like", dir / "valle", "--assume-crs", "EPSG:32614"});
    ASSERT_EQ(vector.exit_status, 0) << vector.err;
    EXPECT_EQ(marked(mask_raw(dir / "v.raw"), 255), block(3, 0, 3, 7));
    // A source that states its CRS keeps it.
    const BinaryRun stated = run_tool(
        {"import-mask", dir / "dem.tif", dir / "s", "--like", dir / "valle", "--assume-crs", "EPSG:32614"});
    EXPECT_EQ(stated.exit_status, 1);
    EXPECT_NE(stated.err.find("ya declara su SRC (WGS 84 / UTM zone 14N): --assume-crs es solo para fuentes sin SRC"),
              std::string::npos)
        << stated.err;
}

TEST_F(ImportMask, PointsAreBurnedWithANoticeCountingEveryPoint) {
    write_geopackage(dir / "p.gpkg", {{"wells",
                                       {{"POINT (" + centre(2, 2) + ")", 0},
                                        {"POINT (" + centre(5, 6) + ")", 0},
                                        {"MULTIPOINT ((" + centre(0, 0) + "), (" + centre(7, 9) + "))", 0}}}});
    const BinaryRun run = run_tool({"import-mask", dir / "p.gpkg", dir / "m", "--like", dir / "valle"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(marked(mask_raw(dir / "m.raw"), 255), (Pixels{{2, 2}, {5, 6}, {0, 0}, {7, 9}}));
    EXPECT_EQ(run.err, "\n lorvantide-raster: aviso: la capa wells de " + (dir / "p.gpkg") +
                           " tiene 4 puntos: cada punto marca un solo pixel (las orillas, la zona y las curvas son "
                           "lineas o poligonos) \n");
    EXPECT_EQ(run_tool({"import-mask", dir / "p.gpkg", dir / "q", "--like", dir / "valle", "-q"}).err, "");
}

}  // namespace
