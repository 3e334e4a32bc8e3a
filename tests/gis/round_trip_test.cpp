// GeoTIFF -> elevation pair -> GeoTIFF keeps every pixel, the geotransform
// and the CRS, as GDAL's own reader sees them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "gis/exact_scaling.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "gis/pair_files.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

std::vector<double> ramp_values(int columns, int lines, double start) {
    std::vector<double> values;
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < columns; ++j) values.push_back(start + 7.0 * i - 3.0 * j);
    return values;
}

TEST(RasterRoundTrip, GeoTiffToPairAndBackKeepsPixelsAndGeoreferencing) {
    TempFolder dir;
    TiffRecipe tiff = one_band(7, 5, ramp_values(7, 5, -20.0));
    tiff.transform = Transform{500000.0, 2.5, 0.0, 4100000.0, 0.0, -2.5};
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
    TiffRecipe tiff = one_band(4, 1, {0.25, -0.25, 0.24, 123.456}, GDT_Float64);
    tiff.bands.push_back({1.0, 2.0, 3.0, 4.0});
    write_geotiff(dir / "dem.tif", tiff);

    // Band 1 of two is no safe guess: the band must be named.
    expect_refused({"import-dem", dir / "dem.tif", dir / "a", "--scale", "10"},
                   (dir / "dem.tif") + " tiene 2 bandas: diga cual es la del modelo de elevacion con --band B (de 1 a 2)");
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "a", "--scale", "10", "--band", "1"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "a_m4.raw"), (std::vector<int32_t>{3, -3, 2, 1235}));
    EXPECT_EQ(read_file(dir / "a_m4.txt"), "1\n4\n4\n-3\n1235\n10\n");

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "b", "--band", "2", "--scale=0.5"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "b_m4.raw"), (std::vector<int32_t>{1, 1, 2, 2}));
}

TEST(RasterRoundTrip, BandScaleOffsetAndUnitAreAppliedOnImportAndKeptOnExport) {
    TempFolder dir;
    // An Int16 DEM stored as (metres - 100) * 10, with a hole marked -1.
    TiffRecipe tiff = one_band(2, 2, {1000, 1005, -20, -1}, GDT_Int16);
    tiff.scale = 0.1;
    tiff.offset = 100.0;
    tiff.unit = "m";
    tiff.nodata = -1;
    write_geotiff(dir / "dem.tif", tiff);
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle", "--scale", "10", "--nodata", "-32768"})
                  .exit_status,
              0);
    // 200 m, 200.5 m and 98 m in decimetres.
    EXPECT_EQ(elevation_raw(dir / "valle_m4.raw"), (std::vector<int32_t>{2000, 2005, 980, -32768}));
    const RasterRead pair = read_raster(dir / "valle_m4.vrt");
    EXPECT_DOUBLE_EQ(pair.scale, 0.1);
    EXPECT_EQ(pair.unit, "m");

    // The result of a run is in the same decimetres.
    save_elevation_pair(dir / "cauce", ElevationPair{2, 2, 10, {1995, 0, 0, 0}});
    save_mask_pair(dir / "zona", MaskPair{2, 2, {255, 0, 0, 0}});
    // As the pair's decimetres with the band's scale, or unscaled as metres.
    for (const bool unscale : {false, true}) {
        std::vector<std::string> words = {"export", dir / "cauce", dir / "out.tif", "--like", dir / "valle", "--mask",
                                          dir / "zona", "--overwrite"};
        if (unscale) words.push_back("--unscale");
        ASSERT_EQ(run_tool(words).exit_status, 0);
        const RasterRead out = read_raster(dir / "out.tif");
        EXPECT_EQ(out.type, unscale ? GDT_Float32 : GDT_Int32);
        EXPECT_EQ(out.values[0], (std::vector<double>{unscale ? 199.5 : 1995, -9999, -9999, -9999}));
        EXPECT_DOUBLE_EQ(out.scale, unscale ? 1.0 : 0.1);
        EXPECT_EQ(out.offset, 0.0);
        EXPECT_EQ(out.unit, "m");
    }

    // The model itself goes back out with the nodata its import declared.
    ASSERT_EQ(run_tool({"export", dir / "valle", dir / "dem_back.tif", "--like", dir / "valle", "--unscale"})
                  .exit_status,
              0);
    const RasterRead back = read_raster(dir / "dem_back.tif");
    EXPECT_EQ(back.values[0], (std::vector<double>{200, 200.5, 98, static_cast<float>(-3276.8)}));
    EXPECT_EQ(back.nodata, static_cast<float>(-3276.8));
}

// A decimal digits / 10^places, exactly and as the double nearest to it.
struct Decimal {
    long long digits;
    int places;
    long long power() const { return places == 0 ? 1 : places == 1 ? 10 : places == 2 ? 100 : 1000; }
    double value() const { return static_cast<double>(digits) / static_cast<double>(power()); }
};

// numerator / denominator (> 0) rounded to the nearest integer, halves away from zero.
long long rounded_fraction(__int128 numerator, __int128 denominator) {
    const __int128 size = numerator < 0 ? -numerator : numerator;
    const auto whole = static_cast<long long>((2 * size + denominator) / (2 * denominator));
    return numerator < 0 ? -whole : whole;
}

// Every raw value of many band scales, offsets and scales, both ways, against
// exact integer arithmetic: exact halves are many here, and doubles miss some.
TEST(ExactScaling, ConversionsBetweenScalesRoundExactHalvesAwayFromZero) {
    const Decimal band_scales[] = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {5, 1}, {25, 2}, {5, 2}, {125, 3}, {25, 1}, {3, 1}};
    const Decimal offsets[] = {{0, 0}, {100, 0}, {-5, 1}, {15, 2}, {100005, 2}};
    const Decimal scales[] = {{1, 0}, {10, 0}, {100, 0}, {1000, 0}, {25, 1}, {5, 1}};
    long long cases = 0;
    long long doubles_wrong = 0;
    for (const Decimal& c : band_scales)
        for (const Decimal& o : offsets)
            for (const Decimal& s : scales) {
                const ExactAffine to_integers = ExactAffine::to_integers(c.value(), o.value(), s.value());
                const ExactAffine to_raw = ExactAffine::to_raw(s.value(), o.value(), c.value());
                for (long long v = -3000; v <= 3000; ++v, cases += 2) {
                    // (v C + O) S, and (n / S - O) / C for n = 10 v, over common denominators.
                    const long long integer = rounded_fraction(
                        (static_cast<__int128>(v) * c.digits * o.power() + static_cast<__int128>(o.digits) * c.power()) *
                            s.digits,
                        static_cast<__int128>(c.power()) * o.power() * s.power());
                    const long long n = 10 * v;
                    const long long raw = rounded_fraction(
                        (static_cast<__int128>(n) * s.power() * o.power() - static_cast<__int128>(o.digits) * s.digits) *
                            c.power(),
                        static_cast<__int128>(s.digits) * o.power() * c.digits);
                    EXPECT_EQ(to_integers.rounded(static_cast<double>(v)), static_cast<double>(integer)) << v;
                    EXPECT_EQ(to_raw.rounded(static_cast<double>(n)), static_cast<double>(raw)) << n;
                    doubles_wrong += std::round((v * c.value() + o.value()) * s.value()) != static_cast<double>(integer);
                    doubles_wrong += std::round((n * (1.0 / s.value()) - o.value()) / c.value()) != static_cast<double>(raw);
                }
            }
    EXPECT_GT(doubles_wrong, cases / 1000);  // the table reaches the fault of plain doubles
    // Heights typed by the user, times --scale.
    for (const Decimal& h : {Decimal{28095, 2}, Decimal{285, 3}, Decimal{1005, 3}, Decimal{-285, 3}, Decimal{2675, 3}})
        for (const Decimal& s : scales)
            EXPECT_EQ(rounded_decimal_product(h.value(), s.value()),
                      static_cast<double>(rounded_fraction(static_cast<__int128>(h.digits) * s.digits,
                                                           static_cast<__int128>(h.power()) * s.power())))
                << h.digits << " " << s.digits;
}

TEST(RasterRoundTrip, ExactHalvesOfABandScaleAreImportedAwayFromZero) {
    // Millimetres (band scale 0.001) imported in tenths of a millimetre... of
    // a metre: every raw value ending in 5 is an exact half at --scale 100.
    TempFolder dir;
    std::vector<double> raw;
    for (int v = -1995; v <= 2005; v += 10) raw.push_back(v);
    TiffRecipe tiff = one_band(static_cast<int>(raw.size()), 1, raw, GDT_Int16);
    tiff.scale = 0.001;
    write_geotiff(dir / "mm.tif", tiff);
    ASSERT_EQ(run_tool({"import-dem", dir / "mm.tif", dir / "cm", "--scale", "100"}).exit_status, 0);
    std::vector<int32_t> expected;
    for (double v : raw) expected.push_back(static_cast<int32_t>(v < 0 ? -(-v + 5) / 10 : (v + 5) / 10));
    EXPECT_EQ(elevation_raw(dir / "cm_m4.raw"), expected);
}

TEST(RasterRoundTrip, GdalStyleOutputOptions) {
    TempFolder dir;
    write_geotiff(dir / "dem.tif", one_band(3, 2, {1, 2, 3, 4, 5, -6}));
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle", "--scale", "10"}).exit_status, 0);

    // Creation options and a smaller pixel type.
    ASSERT_EQ(run_tool({"export", dir / "valle", dir / "small.tif", "--like", dir / "valle", "-co", "COMPRESS=DEFLATE",
                        "-co", "TILED=YES", "-ot", "Int16"})
                  .exit_status,
              0);
    const RasterRead small = read_raster(dir / "small.tif");
    EXPECT_EQ(small.type, GDT_Int16);
    EXPECT_EQ(small.values[0], (std::vector<double>{10, 20, 30, 40, 50, -60}));
    EXPECT_EQ(metadata_item(dir / "small.tif", "COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    const BinaryRun negative =
        run_tool({"export", dir / "valle", dir / "u.tif", "--like", dir / "valle", "-ot", "UInt16"});
    EXPECT_EQ(negative.exit_status, 1);
    EXPECT_NE(negative.err.find("el valor -60 de la linea 1, columna 2 no cabe en pixeles UInt16"), std::string::npos)
        << negative.err;

    // Another format, whose scale lives in GDAL's side file: it moves with it.
    ASSERT_EQ(run_tool({"export", dir / "valle", dir / "grid.asc", "--like", dir / "valle", "-of", "AAIGrid"})
                  .exit_status,
              0);
    const RasterRead grid = read_raster(dir / "grid.asc");
    EXPECT_EQ(grid.transform, kTenMetreGrid);
    EXPECT_TRUE(same_crs_as_epsg(grid.crs_wkt, kUtmZone14));
    EXPECT_DOUBLE_EQ(grid.scale, 0.1);
    // Without side files (a GDAL configuration option) the scale would be lost: refused.
    expect_refused({"export", dir / "valle", dir / "lost.asc", "--like", dir / "valle", "-of", "AAIGrid", "--config",
                    "GDAL_PAM_ENABLED", "NO"},
                   "el formato AAIGrid no guarda la escala 0.1 ni el desplazamiento 0 de la banda: use --unscale o "
                   "elija otro formato (-of GTiff)");
    EXPECT_FALSE(std::filesystem::exists(dir / "lost.asc"));
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

}  // namespace
