// Pixels without data: filled on import with a value the user chooses (then
// declared as nodata in the sidecar) or the lowest valid elevation; on export
// the pixels outside the channel zone, and only those, are nodata (a value
// outside it, 5 or -3, is dropped with a notice). A value refused as nodata
// names a free one.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/gis/gis_fixture.hpp"
#include "gis/free_value.hpp"
#include "gis/pair_files.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

TiffRecipe with_holes() {
    TiffRecipe tiff = one_band(3, 2, {-9999.0, 12.0, 7.5, std::nan(""), 30.0, -9999.0}, GDT_Float32);
    tiff.nodata = -9999.0;
    return tiff;
}

TEST(Nodata, FilledWithTheLowestValidValueOrTheChosenOneWhichIsDeclared) {
    TempFolder dir;
    write_geotiff(dir / "dem.tif", with_holes());

    const BinaryRun low = run_tool({"import-dem", dir / "dem.tif", dir / "low"});
    ASSERT_EQ(low.exit_status, 0);
    // 7.5 rounds to 8, the lowest valid value; NaN counts as no data as well.
    EXPECT_EQ(elevation_raw(dir / "low_m4.raw"), (std::vector<int32_t>{8, 12, 8, 8, 30, 8}));
    EXPECT_EQ(read_file(dir / "low_m4.txt"), "2\n3\n4\n8\n30\n10\n");
    EXPECT_EQ(low.err, "\n lorvantide-raster: aviso: 3 pixeles sin dato de " + (dir / "dem.tif") +
                           " reciben la elevacion mas baja (8); con --nodata V quedan marcados como sin dato \n");
    EXPECT_FALSE(read_raster(dir / "low_m4.vrt").nodata.has_value());  // a real elevation is no nodata

    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "fill", "--nodata", "-5"}).exit_status, 0);
    EXPECT_EQ(elevation_raw(dir / "fill_m4.raw"), (std::vector<int32_t>{-5, 12, 8, -5, 30, -5}));
    EXPECT_EQ(read_file(dir / "fill_m4.txt"), "2\n3\n4\n-5\n30\n10\n");
    // GIS programs reading the pair through its sidecar skip the fill.
    EXPECT_EQ(read_raster(dir / "fill_m4.vrt").nodata, -5.0);

    // A fill that a pixel with data holds would turn it into nodata.
    expect_refused({"import-dem", dir / "dem.tif", dir / "held", "--nodata", "12"},
                   "el valor sin dato 12 lo tiene tambien un pixel con dato de " + (dir / "dem.tif") +
                       " (linea 0, columna 1); elija otro con --nodata, p. ej. -9999");
    EXPECT_FALSE(std::filesystem::exists(dir / "held_m4.raw"));

    // channel fills them the same way, and says so of the lower boundary's
    // pixels among them: one bank pixel, two lake pixels.
    const std::vector<std::pair<std::string, std::vector<double>>> masks = {
        {"banks", {0, 0, 0, 0, 0, 1}}, {"zone", {0, 0, 1, 0, 1, 0}},
        {"contour", {0, 1, 0, 0, 0, 0}}, {"lakes", {1, 0, 0, 1, 0, 0}}};
    std::vector<std::string> words = {"channel", "--dem", dir / "dem.tif", "-o", dir / "c.tif",
                                      "--railing-height", "1", "--contour-altitude", "40"};
    for (const auto& [name, pixels] : masks) {
        write_geotiff(dir / (name + ".tif"), one_band(3, 2, pixels, GDT_Byte));
        words.insert(words.end(), {"--" + name, dir / (name + ".tif")});
    }
    const BinaryRun channel = run_tool(words);
    EXPECT_EQ(channel.exit_status, 0);
    // None has a bank or lake pixel with data along it; and the contour altitude is far from the DEM there.
    EXPECT_EQ(channel.err, "\n lorvantide-raster: aviso: 3 pixeles de las orillas o de los lagos caen en pixeles sin "
                           "dato de " + (dir / "dem.tif") + ": toman la elevacion mas baja del MDE (7.5) \n"
                           "\n lorvantide-raster: aviso: --contour-altitude 40 no coincide con el MDE a lo largo de "
                           "la curva de nivel (12) \n");
}

// A bank pixel in a hole stands at the nearest bank pixel with data along the
// bank: the channel is exactly that of a DEM that holds that value there.
TEST(Nodata, ABankInAHoleTakesTheNearestBankAlongIt) {
    TempFolder dir;
    // Banks down column 0; the hole at line 2 is reached from line 1 (30) first.
    const std::vector<double> dem = {50, 90, 90, 30, 90, 90, -9999, 90, 90, 10, 90, 90, 20, 90, 90};
    std::vector<double> filled = dem;
    filled[6] = 30;
    const std::vector<std::pair<std::string, std::vector<double>>> masks = {
        {"banks", {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0}},
        {"zone", {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}},
        {"contour", {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}}};
    std::vector<std::string> words = {"channel", "--railing-height", "1", "--contour-altitude", "90", "--overwrite"};
    for (const auto& [name, pixels] : masks) {
        write_geotiff(dir / (name + ".tif"), one_band(3, 5, pixels, GDT_Byte));
        words.insert(words.end(), {"--" + name, dir / (name + ".tif")});
    }
    TiffRecipe holed = one_band(3, 5, dem, GDT_Float32);
    holed.nodata = -9999.0;
    write_geotiff(dir / "holed.tif", holed);
    write_geotiff(dir / "filled.tif", one_band(3, 5, filled, GDT_Float32));
    const BinaryRun hole = run_tool(words + std::vector<std::string>{"--dem", dir / "holed.tif", "-o", dir / "a.tif"});
    EXPECT_EQ(hole.err, "\n lorvantide-raster: aviso: 1 pixeles de las orillas caen en pixeles sin dato de " +
                            (dir / "holed.tif") +
                            ": toman la elevacion del pixel con dato mas cercano a lo largo de la orilla \n");
    ASSERT_EQ(run_tool(words + std::vector<std::string>{"--dem", dir / "filled.tif", "-o", dir / "b.tif", "-q"})
                  .exit_status,
              0);
    EXPECT_EQ(read_raster(dir / "a.tif").values, read_raster(dir / "b.tif").values);
}

TEST(Nodata, AFreeValueIsThePreferredThenBelowTheLowestThenAboveTheHighestThenBetween) {
    struct Case {
        std::vector<double> held;
        double low;
        double high;
        double free;
    };
    const Case cases[] = {
        {{5, 7}, -1e9, 1e9, -9999},                      // nobody holds it
        {{-9999, 12.5, 30}, -1e9, 1e9, -10000},          // just below the lowest, before above the highest
        {{-32768, -9999, 12}, -32768, 32767, 13},        // nothing below the lowest in the type
        {{0, 1, 3, 65535, -9999, 0}, 0, 65535, 2},        // neither: the first integer between
    };
    for (const Case& c : cases)
        EXPECT_EQ(free_value(c.held, kDefaultNodata, c.low, c.high), c.free) << c.held.front();
}

TEST(Nodata, OnExportTheChannelZoneDecidesNeverTheValues) {
    TempFolder dir;
    write_geotiff(dir / "dem.tif", with_holes());
    ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle"}).exit_status, 0);
    // A result whose channel (zone tone 255) holds an elevation 0, at the coast,
    // and -9999 just beside the default nodata; outside the zone it holds 0.
    save_elevation_pair(dir / "cauce", ElevationPair{2, 3, 10, {0, 5, 0, 6, -3, 0}});
    save_mask_pair(dir / "zona", MaskPair{2, 3, {255, 255, 0, 255, 255, 7}});

    const BinaryRun zoned =
        run_tool({"export", dir / "cauce", dir / "zoned.tif", "--like", dir / "valle", "--mask", dir / "zona"});
    ASSERT_EQ(zoned.exit_status, 0) << zoned.err;
    EXPECT_EQ(zoned.err, "");
    const RasterRead cut = read_raster(dir / "zoned.tif");
    EXPECT_EQ(cut.values[0], (std::vector<double>{0, 5, -9999, 6, -3, -9999}));
    EXPECT_EQ(cut.nodata, -9999.0);

    // Another tone is another zone.
    ASSERT_EQ(run_tool({"export", dir / "cauce", dir / "seven.tif", "--like", dir / "valle", "--mask", dir / "zona",
                        "--tone", "7", "--nodata", "-1"})
                  .exit_status,
              0);
    EXPECT_EQ(read_raster(dir / "seven.tif").values[0], (std::vector<double>{-1, -1, -1, -1, -1, 0}));

    // A nodata value that a channel pixel holds is refused, naming a free one.
    expect_refused({"export", dir / "cauce", dir / "held.tif", "--like", dir / "valle", "--mask", dir / "zona",
                    "--nodata", "5"},
                   "el valor sin dato 5 lo tiene un pixel del cauce (linea 0, columna 1); elija otro con --nodata, "
                   "p. ej. -9999");
    expect_refused({"export", dir / "cauce", dir / "held.tif", "--like", dir / "valle", "--nodata", "-9999"},
                   "--nodata necesita --mask DIR/ZONA: quedan sin dato los pixeles fuera de la zona del cauce que "
                   "uso la corrida, nunca los que tienen un valor dado");
    EXPECT_FALSE(std::filesystem::exists(dir / "held.tif"));

    // Without a zone every pixel is a value.
    ASSERT_EQ(run_tool({"export", dir / "cauce", dir / "plain.tif", "--like", dir / "valle"}).exit_status, 0);
    const RasterRead plain = read_raster(dir / "plain.tif");
    EXPECT_EQ(plain.values[0], (std::vector<double>{0, 5, 0, 6, -3, 0}));
    EXPECT_FALSE(plain.nodata.has_value());

    // A zone that leaves values outside is not the run's: they are dropped with a notice.
    save_mask_pair(dir / "otra", MaskPair{2, 3, {255, 0, 0, 255, 0, 0}});
    const BinaryRun other =
        run_tool({"export", dir / "cauce", dir / "other.tif", "--like", dir / "valle", "--mask", dir / "otra"});
    ASSERT_EQ(other.exit_status, 0);
    EXPECT_EQ(other.err, "\n lorvantide-raster: aviso: 2 pixeles de " + (dir / "cauce") + " fuera de la zona de " +
                             (dir / "otra") +
                             " (tono 255) no valen 0 y quedan sin dato: si es un resultado, esa no es la zona que uso "
                             "la corrida \n");
}

}  // namespace
