// channel: the computation of the console program in one command. Its
// values are those of the console route (import-dem, import-mask, the dialog,
// export) pixel for pixel, and its conditioned model burned only is the input
// model with the channel's elevations in the channel's pixels.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "gis/gdal_env.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// channel over the sample's sources, with `dem` for its model, the railing
// 1 m high and the contour at `altitude` metres.
BinaryRun channel(const std::vector<std::string>& words, const std::string& dem = kSampleDem,
                  const std::string& altitude = "210") {
    return run_tool(std::vector<std::string>{"channel", "--railing-height", "1", "--contour-altitude", altitude} + words +
                    sample_sources(dem));
}

// The same grid, CRS and band description (pixel type, nodata, scale, offset and unit).
void expect_same_raster_description(const RasterRead& got, const RasterRead& want) {
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.nodata, want.nodata);
    EXPECT_EQ(got.scale, want.scale);
    EXPECT_EQ(got.offset, want.offset);
    EXPECT_EQ(got.unit, want.unit);
    EXPECT_EQ(got.columns, want.columns);
    EXPECT_EQ(got.lines, want.lines);
    EXPECT_EQ(got.has_transform, want.has_transform);
    EXPECT_EQ(got.transform, want.transform);
    EXPECT_TRUE(same_crs_as_epsg(got.crs_wkt, kUtmZone14));
}

// The console route, as the README's eight steps run it, at `scale`, with
// or without water bodies (the 205 m contour standing for their shore).
struct Route {
    int scale;
    bool lakes;
};

TEST(Channel, GivesTheValuesOfTheConsoleRouteOnTheSample) {
    for (const Route route : {Route{10, false}, Route{100, true}}) {
        SCOPED_TRACE("scale " + std::to_string(route.scale) + (route.lakes ? " with lakes" : ""));
        TempFolder dir;
        std::filesystem::create_directories(dir.path() / "work/rio");
        const std::string pair = dir / "work/rio/";
        const std::string scale = std::to_string(route.scale);
        ASSERT_EQ(run_tool({"import-dem", kSampleDem, pair + "valle", "--scale", scale, "-q"}).exit_status, 0);
        std::vector<std::vector<std::string>> masks = {{"barandal", "--layer", "banks"},
                                                       {"zona", "--layer", "zone"},
                                                       {"curva", "--layer", "contours", "--where", "elev = 210"}};
        if (route.lakes) masks.push_back({"lagos", "--layer", "contours", "--where", "elev = 205"});
        for (const auto& mask : masks) {
            std::vector<std::string> words = {"import-mask", kSampleLayers, pair + mask[0], "--like", pair + "valle"};
            words.insert(words.end(), mask.begin() + 1, mask.end());
            ASSERT_EQ(run_tool(words).exit_status, 0) << mask[0];
        }
        const std::string answers = std::string("rio\nvalle\nbarandal\nzona\ncurva\n") +
                                    (route.lakes ? "1\nlagos\n" : "0\n") + "cauce\n255\n255\n" + scale + "\n255\n" +
                                    std::to_string(210 * route.scale) + "\n" + (route.lakes ? "255\n" : "");
        const BinaryRun console =
            run_child({lorvantide_binary(), {}, dir.path().string(), answers, {{"LORVANTIDE_IMAGES", dir / "work"}}, 0});
        ASSERT_EQ(console.exit_status, 0) << console.out;
        for (const char* unscale : {"", "--unscale"}) {
            std::vector<std::string> extra;
            if (*unscale != '\0') extra.push_back(unscale);
            ASSERT_EQ(run_tool(std::vector<std::string>{"export", pair + "cauce", dir / "route.tif", "--like",
                                                        pair + "valle", "--mask", pair + "zona", "--overwrite"} +
                               extra)
                          .exit_status,
                      0);
            std::vector<std::string> words = {"-o", dir / "direct.tif", "--overwrite"};
            if (route.scale != 100) words.insert(words.end(), {"--scale", scale});  // 100 is the default
            if (route.lakes)
                words.insert(words.end(), {"--lakes", kSampleLayers, "--lakes-layer", "contours", "--lakes-where", "elev = 205"});
            const BinaryRun direct = channel(words + extra);
            ASSERT_EQ(direct.exit_status, 0) << direct.err;
            const RasterRead want = read_raster(dir / "route.tif");
            const RasterRead got = read_raster(dir / "direct.tif");
            expect_same_raster_description(got, want);
            ASSERT_EQ(got.values[0].size(), want.values[0].size());
            int differing = 0;
            for (std::size_t k = 0; k < want.values[0].size(); ++k) differing += got.values[0][k] != want.values[0][k];
            EXPECT_EQ(differing, 0);
            if (!route.lakes && *unscale == '\0') {
                EXPECT_EQ(direct.out, "Cauce: 3468 pixeles, elevacion de 198.4 a 208.5\n"
                                      "Busquedas sin resultado a menos de 1500 pixeles: 0 de la curva de nivel, 0 del "
                                      "limite inferior\n"
                                      "Escrito " + (dir / "direct.tif") + "\n");
            }
        }
    }
}

// The sample's DEM as an Int16 band in decimetres above 100 m, with the
// unit, a nodata value and, given a channel, five holes where it runs.
TiffRecipe int16_decimetres(const RasterRead& sample, const RasterRead* channel = nullptr) {
    TiffRecipe tiff;
    tiff.columns = sample.columns;
    tiff.lines = sample.lines;
    tiff.transform = sample.transform;
    tiff.type = GDT_Int16;
    tiff.scale = 0.1;
    tiff.offset = 100.0;
    tiff.unit = "m";
    tiff.nodata = -32768.0;
    tiff.metadata = {"STATISTICS_MINIMUM=236", "STATISTICS_MAXIMUM=240"};  // as GDAL keeps them; wrong once conditioned
    std::vector<double> raw;
    for (double v : sample.values[0]) raw.push_back(v == *sample.nodata ? -32768.0 : std::round((v - 100.0) / 0.1));
    std::size_t holes = 0;
    for (std::size_t k = 0; channel != nullptr && k < raw.size() && holes < 5; ++k)
        if (channel->values[0][k] != *channel->nodata && k % 7 == 0) raw[k] = -32768.0, ++holes;
    tiff.bands = {raw};
    return tiff;
}

TEST(Channel, ConditionedDemIsTheInputOutsideTheChannelAndTheChannelInside) {
    TempFolder dir;
    ASSERT_EQ(channel({"-o", dir / "plain.tif", "-q"}).exit_status, 0);
    const RasterRead plain = read_raster(dir / "plain.tif");
    write_geotiff(dir / "int16.tif", int16_decimetres(read_raster(kSampleDem), &plain));

    for (const std::string& dem : {kSampleDem, dir / "int16.tif"}) {
        SCOPED_TRACE(dem);
        // Each output its own creation options: a floating-point predictor
        // fits the Float32 model only, never the Int32 channel.
        const std::string predictor = dem == kSampleDem ? "PREDICTOR=3" : "PREDICTOR=2";
        const BinaryRun run =
            channel({"-o", dir / "cauce.tif", "--conditioned", dir / "cond.tif", "--burn-only", "--overwrite", "-q",
                     "-co", "COMPRESS=DEFLATE", "--conditioned-co", "COMPRESS=LZW", "--conditioned-co", predictor},
                    dem);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        const RasterRead input = read_raster(dem);
        const RasterRead cut = read_raster(dir / "cauce.tif");
        const RasterRead conditioned = read_raster(dir / "cond.tif");
        expect_same_raster_description(conditioned, input);
        EXPECT_EQ(metadata_item(dir / "cauce.tif", "COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
        EXPECT_EQ(metadata_item(dir / "cond.tif", "COMPRESSION", "IMAGE_STRUCTURE"), "LZW");
        EXPECT_EQ("PREDICTOR=" + metadata_item(dir / "cond.tif", "PREDICTOR", "IMAGE_STRUCTURE"), predictor);
        // The model's statistics would describe it without the channel.
        for (const std::string& item : conditioned.metadata) EXPECT_NE(item.rfind("STATISTICS_", 0), 0u) << item;

        std::size_t inside = 0;
        std::size_t holes_filled = 0;
        std::size_t wrong = 0;
        for (std::size_t k = 0; k < input.values[0].size(); ++k) {
            const double raw = conditioned.values[0][k];
            if (cut.values[0][k] == *cut.nodata) {
                wrong += raw != input.values[0][k];
                continue;
            }
            ++inside;
            holes_filled += input.values[0][k] == *input.nodata;
            // The channel's elevation in the model's units, then the band's raw value:
            // for the Int16 decimetres above 100 m, from the centimetres in exact
            // integers, halves away from zero (280.95 m is 2810 raw, never 2809).
            const double metres = cut.values[0][k] * cut.scale + cut.offset;
            const auto above = static_cast<long long>(cut.values[0][k]) - 10000;  // centimetres above 100 m
            const double want = input.type == GDT_Int16 ? static_cast<double>((above + (above < 0 ? -5 : 5)) / 10)
                                                        : static_cast<float>(metres);
            wrong += raw != want;
            // Rounded to the band's resolution, never further.
            wrong += std::fabs(raw * input.scale + input.offset - metres) > input.scale / 2.0 + 1e-9;
        }
        EXPECT_EQ(inside, 3468u);
        EXPECT_EQ(wrong, 0u);
        EXPECT_EQ(holes_filled, input.type == GDT_Int16 ? 5u : 0u);
    }
}

TEST(Channel, BadInputsAreRefusedAndNothingIsWritten) {
    TempFolder dir;
    std::filesystem::copy_file(kSampleDem, dir / "valle.tif");
    std::filesystem::copy_file(kSampleLayers, dir / "rio.gpkg");
    const std::vector<std::string> heights = {"--railing-height", "1", "--contour-altitude", "210"};
    const std::vector<std::string> sources = sample_sources(dir / "valle.tif", dir / "rio.gpkg");
    // A zone as a raster of classes on the DEM's grid but in another CRS.
    const RasterRead sample = read_raster(kSampleDem);
    TiffRecipe zone = one_band(sample.columns, sample.lines, std::vector<double>(sample.values[0].size(), 1.0), GDT_Byte);
    zone.transform = sample.transform;
    zone.epsg = 32615;
    write_geotiff(dir / "zone15.tif", zone);
    // The model with a second band beside it.
    TiffRecipe two = one_band(sample.columns, sample.lines, sample.values[0], GDT_Float32);
    two.transform = sample.transform;
    two.nodata = sample.nodata;
    two.bands.push_back(std::vector<double>(sample.values[0].size(), 1.0));
    write_geotiff(dir / "two.tif", two);
    // The first channel pixel's value, to ask for it as nodata.
    ASSERT_EQ(channel({"-o", dir / "first.tif", "-q"}).exit_status, 0);
    const RasterRead first = read_raster(dir / "first.tif");
    std::size_t k = 0;
    while (first.values[0][k] == *first.nodata) ++k;
    char held[32];
    std::snprintf(held, sizeof held, "%.0f", first.values[0][k]);
    std::filesystem::remove(dir / "first.tif");

    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const Case cases[] = {
        {{"--zone", dir / "zone15.tif"},
         "la rejilla de " + (dir / "zone15.tif") + " no coincide con la del MDE " + (dir / "valle.tif") +
             ": SRC WGS 84 / UTM zone 15N (el MDE: WGS 84 / UTM zone 14N); llevelo a esa rejilla con gdalwarp -r near "
             "-t_srs EPSG:32614 -te 500000 4100000 500800 4101000 -ts 160 200 " +
             (dir / "zone15.tif") + " SALIDA.tif"},
        {{"--banks-layer", "orillas"},
         "no existe la capa orillas en " + (dir / "rio.gpkg") + " (capas: banks, zone, contours)"},
        {{"--contour-where", "elev = 999"},
         "--contour: ningun pixel de la rejilla de " + (dir / "valle.tif") +
             " queda marcado: revise la capa, el filtro --contour-where y la extension de " + (dir / "rio.gpkg")},
        {{"--nodata", held},
         std::string("el valor sin dato ") + held + " lo tiene un pixel del cauce (linea " +
             std::to_string(k / sample.columns) + ", columna " + std::to_string(k % sample.columns) +
             "); elija otro con --nodata, p. ej. -9999"},
        {{"--conditioned", dir / "valle.tif"},
         "la salida " + (dir / "valle.tif") + " es tambien una entrada de la orden (" + (dir / "valle.tif") +
             "): elija otro nombre"},
        {{"--conditioned", dir / "rio.gpkg"},
         "la salida " + (dir / "rio.gpkg") + " es tambien una entrada de la orden (" + (dir / "rio.gpkg") +
             "): elija otro nombre"},
        {{"--zone-class", "1"}, (dir / "rio.gpkg") + " es una capa vectorial: --zone-class es para rasters de clases"},
        {{"--lakes-layer", "banks"}, "--lakes-layer necesita --lakes SRC"},
        {{"--scale", "0"}, "--scale debe ser un numero positivo: 0"},
        {{"--burn-only"}, "--burn-only elige como se escribe --conditioned: falta --conditioned SALIDA_MDE"},
        {{"--contour-altitude-field", "nombre"},
         "la capa contours de " + (dir / "rio.gpkg") + " no tiene el campo nombre"},
        // Band 1 of several is no safe guess.
        {{"--dem", dir / "two.tif"},
         (dir / "two.tif") + " tiene 2 bandas: diga cual es la del modelo de elevacion con --band B (de 1 a 2)"},
        // A filter the driver refuses only when the features are read is no empty mask.
        {{"--contour-where", "elevation = 210"},
         "no se pueden leer los objetos de la capa contours de " + (dir / "rio.gpkg") +
             " con el filtro --contour-where elevation = 210 (GDAL: failed to prepare SQL: SELECT m.\"fid\", "
             "m.\"geom\", m.\"elev\" FROM \"contours\" m WHERE elevation = 210)"},
        {{"--conditioned-co", "PREDICTOR=3"}, "--conditioned-co necesita --conditioned SALIDA_MDE"},
    };
    const auto files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.front());
        // Later options of the case replace the sample's (a repeated option is refused).
        std::vector<std::string> words = {"channel", "-o", dir / "out.tif", "--overwrite"};
        for (std::size_t w = 0; w < sources.size(); w += 2) {
            const bool replaced = std::any_of(c.words.begin(), c.words.end(),
                                              [&](const std::string& word) { return sources[w].rfind(word, 0) == 0; });
            if (!replaced) words.insert(words.end(), {sources[w], sources[w + 1]});
        }
        // The whole-raster route, then the windowed one: the same refusals in the same words.
        for (const std::vector<std::string>& route : {std::vector<std::string>{}, {"--tile", "37"}}) {
            // The windows refuse the altitudes per contour pixel before reading any layer.
            const bool per_pixel = !route.empty() && c.words.front() == "--contour-altitude-field";
            expect_refused(words + heights + c.words + route,
                           per_pixel ? "el calculo por ventanas no puede con estas opciones: las altitudes por pixel "
                                       "de la curva de nivel (--contour-altitude dem o --contour-altitude-field) no "
                                       "se leen por ventanas: de una sola con --contour-altitude A"
                                     : c.message);
            EXPECT_FALSE(std::filesystem::exists(dir / "out.tif"));
            EXPECT_EQ(temporaries_in(dir.path()), 0);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), files);  // nothing left
        }
    }
    EXPECT_TRUE(read_file(dir / "valle.tif") == read_file(kSampleDem));
    EXPECT_TRUE(read_file(dir / "rio.gpkg") == read_file(kSampleLayers));
}

// One altitude per contour pixel: from the layer's field, the sample's 210 m
// line gives exactly the constant's channel; a given altitude that the field
// or the DEM along the line does not hold is warned about with their figures;
// every contour line at once (205 to 240 m) is one run.
TEST(Channel, ContourAltitudesFromTheFieldOrTheDem) {
    TempFolder dir;
    ASSERT_EQ(channel({"-o", dir / "constant.tif", "-q"}).exit_status, 0);
    auto run = [&](const std::vector<std::string>& words) {
        return run_tool(std::vector<std::string>{"channel", "--railing-height", "1", "-o", dir / "c.tif", "--overwrite"} +
                        sample_sources() + words);
    };
    BinaryRun field = run({"--contour-altitude-field", "elev"});
    ASSERT_EQ(field.exit_status, 0) << field.err;
    EXPECT_EQ(field.err, "");
    EXPECT_TRUE(read_file(dir / "c.tif") == read_file(dir / "constant.tif"));

    field = run({"--contour-altitude-field", "elev", "--contour-altitude", "220"});
    EXPECT_EQ(field.err, "\n lorvantide-raster: aviso: --contour-altitude 220 no coincide con el campo elev a lo largo "
                         "de la curva de nivel (210) \n");
    const BinaryRun given = run({"--contour-altitude", "220"});
    EXPECT_EQ(given.err, "\n lorvantide-raster: aviso: --contour-altitude 220 no coincide con el MDE a lo largo de la "
                         "curva de nivel (de 208.69 a 211.33, mediana 210.07) \n");
    const BinaryRun dem = run({"--contour-altitude", "dem", "-q"});
    ASSERT_EQ(dem.exit_status, 0) << dem.err;
    const RasterRead along_dem = read_raster(dir / "c.tif");

    // Every contour line: the channel rises toward the nearest line's own altitude.
    std::vector<std::string> words = {"channel", "--railing-height", "1", "-o", dir / "all.tif", "-q",
                                      "--contour-altitude-field", "elev"};
    const std::vector<std::string> sources = sample_sources();
    for (std::size_t w = 0; w < sources.size(); w += 2)
        if (sources[w] != "--contour-where") words.insert(words.end(), {sources[w], sources[w + 1]});
    ASSERT_EQ(run_tool(words).exit_status, 0);
    const RasterRead all = read_raster(dir / "all.tif");
    const RasterRead constant = read_raster(dir / "constant.tif");
    int lower = 0, differing_from_dem = 0;
    for (std::size_t k = 0; k < all.values[0].size(); ++k) {
        lower += all.values[0][k] < constant.values[0][k];
        differing_from_dem += along_dem.values[0][k] != constant.values[0][k];
    }
    EXPECT_GT(lower, 100);  // where the 205 m line is nearer than the 210 m one
    EXPECT_GT(differing_from_dem, 100);
}

// Conversions into the conditioned model that would lose the elevation are refused.
TEST(Channel, ConditionedValuesTheModelCannotHoldAreRefused) {
    TempFolder dir;
    TiffRecipe tiff = int16_decimetres(read_raster(kSampleDem));
    write_geotiff(dir / "dm.tif", tiff);

    // A contour at 5000 m takes the channel beyond the 3376.7 m an Int16 in decimetres above 100 m holds.
    BinaryRun run = channel({"-o", dir / "c.tif", "--conditioned", dir / "d.tif", "--burn-only"}, dir / "dm.tif", "5000");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find(" no cabe en pixeles Int16 del MDE (valor "), std::string::npos) << run.err;

    // A channel elevation that lands on the model's nodata value would become a hole.
    tiff.nodata = 1000.0;  // 200 m
    write_geotiff(dir / "dm.tif", tiff);
    run = channel({"-o", dir / "c.tif", "--conditioned", dir / "d.tif", "--burn-only"}, dir / "dm.tif");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find(" se guarda en el MDE condicionado como su valor sin dato 1000: ese pixel quedaria sin "
                           "dato"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "c.tif"));
    EXPECT_FALSE(std::filesystem::exists(dir / "d.tif"));
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST(Channel, PolygonsInTheBanksAreBurnedAsTheirOutlinesWithAWarning) {
    // A sloping 10 x 8 model; banks given as a polygon, and as the line of its ring.
    TempFolder dir;
    std::vector<double> slope;
    for (int k = 0; k < 80; ++k) slope.push_back(100.0 + k % 10);
    write_geotiff(dir / "dem.tif", one_band(10, 8, slope));
    const std::string ring = "1015 1985, 1085 1985, 1085 1935, 1015 1935, 1015 1985";
    write_geopackage(dir / "v.gpkg", {{"river", {{"POLYGON ((" + ring + "))", 0}}},
                                      {"outline", {{"LINESTRING (" + ring + ")", 0}}},
                                      {"zone", {{"POLYGON ((1020 1980, 1080 1980, 1080 1940, 1020 1940, 1020 1980))", 0}}},
                                      {"contour", {{"LINESTRING (1075 1990, 1075 1930)", 0}}}});
    const auto with_banks = [&](const std::string& layer) {
        return run_tool({"channel", "--dem", dir / "dem.tif", "-o", dir / (layer + ".tif"), "--railing-height", "1",
                         "--contour-altitude", "107", "--banks", dir / "v.gpkg", "--banks-layer", layer, "--zone",
                         dir / "v.gpkg", "--zone-layer", "zone", "--contour", dir / "v.gpkg", "--contour-layer",
                         "contour", "-q"});
    };
    const BinaryRun polygon = with_banks("river");
    ASSERT_EQ(polygon.exit_status, 0) << polygon.err;
    ASSERT_EQ(with_banks("outline").exit_status, 0);
    EXPECT_EQ(read_raster(dir / "river.tif").values, read_raster(dir / "outline.tif").values);
    EXPECT_EQ(run_tool({"channel", "--dem", dir / "dem.tif", "-o", dir / "w.tif", "--railing-height", "1",
                        "--contour-altitude", "107", "--banks", dir / "v.gpkg", "--banks-layer", "river", "--zone",
                        dir / "v.gpkg", "--zone-layer", "zone", "--contour", dir / "v.gpkg", "--contour-layer",
                        "contour"})
                  .err,
              "\n lorvantide-raster: aviso: la capa river de " + (dir / "v.gpkg") +
                  " tiene 1 poligonos: se marca su contorno, no su interior (las orillas son lineas) \n");
}

TEST(Channel, AModelInDegreesIsWarpedOnTheWayInAsTheWarningSays) {
    TempFolder dir;
    GDALAllRegister();
    GDALDatasetH sample = GDALOpen(kSampleDem.c_str(), GA_ReadOnly);
    const StringList words({"-t_srs", "EPSG:4326"});
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(words.get(), nullptr);
    GDALClose(GDALWarp((dir / "geo.tif").c_str(), nullptr, 1, &sample, options, nullptr));
    GDALWarpAppOptionsFree(options);
    GDALClose(sample);

    const BinaryRun warned = channel({"-o", dir / "c.tif"}, dir / "geo.tif");
    ASSERT_EQ(warned.exit_status, 0) << warned.err;
    EXPECT_NE(warned.err.find("reproyecte con -t_srs EPSG:32614 -tr TAMANO TAMANO (o con gdalwarp)"), std::string::npos)
        << warned.err;
    // As the warning says, back on the sample's 5 m grid: the sample's channel.
    const BinaryRun warped = channel(
        {"-o", dir / "w.tif", "--conditioned", dir / "wd.tif", "-t_srs", "EPSG:32614", "-tr", "5", "5", "-r", "near"},
        dir / "geo.tif");
    ASSERT_EQ(warped.exit_status, 0) << warped.err;
    EXPECT_EQ(warped.err, "");
    EXPECT_EQ(warped.out.rfind("Cauce: 3468 pixeles, elevacion de 198.44 a 208.52\n", 0), 0u) << warped.out;
    const RasterRead cut = read_raster(dir / "w.tif");
    const RasterRead conditioned = read_raster(dir / "wd.tif");
    for (const RasterRead* raster : {&cut, &conditioned}) {
        EXPECT_EQ(raster->columns, 160);
        EXPECT_EQ(raster->lines, 200);
        EXPECT_EQ(raster->transform[1], 5.0);
        EXPECT_TRUE(same_crs_as_epsg(raster->crs_wkt, kUtmZone14));
    }
    EXPECT_EQ(conditioned.type, GDT_Float32);
    EXPECT_EQ(conditioned.nodata, -9999.0);
}

}  // namespace

namespace {

// A piece of `source` (columns, lines from its top-left pixel), as GeoTIFF.
void cut(const std::string& source, const std::string& piece, int column, int line, int columns, int lines,
         const std::vector<std::string>& extra = {}) {
    std::vector<std::string> words = {"-q", "-srcwin", std::to_string(column), std::to_string(line),
                                      std::to_string(columns), std::to_string(lines)};
    words.insert(words.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    GDALAllRegister();
    GDALTranslateOptions* options = GDALTranslateOptionsNew(argv.data(), nullptr);
    GDALDatasetH in = GDALOpen(source.c_str(), GA_ReadOnly);
    ASSERT_NE(in, nullptr);
    GDALDatasetH out = GDALTranslate(piece.c_str(), in, options, nullptr);
    ASSERT_NE(out, nullptr);
    GDALClose(out);
    GDALClose(in);
    GDALTranslateOptionsFree(options);
}

// A loopback HTTP server (Python's http.server) over `folder`, for the
// length of a test; its base URL.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::string& folder) {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(probe, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        close(probe);
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            execl("/usr/bin/python3", "python3", "-m", "http.server", std::to_string(port_).c_str(), "--bind",
                  "127.0.0.1", "--directory", folder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int attempt = 0; attempt < 100; ++attempt) {  // at most 10 s
            const int client = socket(AF_INET, SOCK_STREAM, 0);
            address.sin_port = htons(static_cast<uint16_t>(port_));
            const bool up = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(client);
            if (up) return;
            usleep(100000);
        }
    }
    ~LoopbackServer() {
        if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace

// The windowed route against the whole raster's: the same summary, the same
// channel (values, nodata, scale, unit, grid) and the same conditioned model,
// for tiles from a few pixels up, one to three threads, with lakes, from the
// sample's GeoTIFF, from a VRT mosaic whose pieces do not line up with the
// tiles, and from a Cloud-Optimized GeoTIFF read over HTTP (/vsicurl/); the
// river, zone and contours cross every tile's edges. Then a channel reaching
// every border, whose far pixels find no contour within 1500 pixels.
TEST(Channel, WindowsGiveTheWholeRoutesValues) {
    TempFolder dir;
    const std::string pieces[4] = {dir / "a.tif", dir / "b.tif", dir / "c.tif", dir / "d.tif"};
    cut(kSampleDem, pieces[0], 0, 0, 101, 73);
    cut(kSampleDem, pieces[1], 101, 0, 59, 73);
    cut(kSampleDem, pieces[2], 0, 73, 101, 127);
    cut(kSampleDem, pieces[3], 101, 73, 59, 127);
    {
        std::vector<const char*> names;
        for (const std::string& piece : pieces) names.push_back(piece.c_str());
        GDALDatasetH vrt = GDALBuildVRT((dir / "mosaic.vrt").c_str(), 4, nullptr, names.data(), nullptr, nullptr);
        ASSERT_NE(vrt, nullptr);
        GDALClose(vrt);
    }
    std::filesystem::create_directories(dir / "served");
    cut(kSampleDem, dir / "served/valle.tif", 0, 0, 160, 200, {"-of", "COG", "-co", "BLOCKSIZE=128"});
    const LoopbackServer server(dir / "served");

    struct Case {
        std::string dem;
        std::vector<std::string> tiles;  // --tile, with 1, 2, 3 threads in turn
        bool lakes;
        std::vector<std::string> format;
        std::vector<std::string> options;     // beyond --burn-only, which the windowed route needs
        std::string conditioned_compression;  // that --conditioned-co or -co asks for
    };
    // The sample as Int16 decimetres (exact scaling of a band scale and
    // offset) with lines 90 to 95 holes: the banks and lakes crossing them
    // take their line's nearest elevation.
    TiffRecipe holes = int16_decimetres(read_raster(kSampleDem));
    for (std::size_t k = 90 * static_cast<std::size_t>(holes.columns); k < 96 * static_cast<std::size_t>(holes.columns); ++k)
        holes.bands[0][k] = -32768.0;
    holes.metadata.clear();
    write_geotiff(dir / "holes.tif", holes);
    const Case cases[] = {
        {kSampleDem, {"3", "17", "64", "500"}, true, {}, {}, ""},
        {dir / "mosaic.vrt", {"23", "70"}, false, {"-of", "COG", "-co", "COMPRESS=DEFLATE"},
         {"--conditioned-co", "COMPRESS=LZW", "--band", "1"}, "LZW"},
        {"/vsicurl/" + server.url() + "valle.tif", {"50"}, true, {}, {"-tr", "20", "20", "-r", "bilinear"}, ""},
        {dir / "holes.tif", {"17", "64"}, true, {}, {"--scale", "100"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dem);
        std::vector<std::string> words = {"-o", dir / "cauce.tif", "--conditioned", dir / "mde.tif", "--burn-only",
                                          "--overwrite"};
        words = words + c.format + c.options;
        if (c.lakes) words = words + std::vector<std::string>{"--lakes", kSampleLayers, "--lakes-layer", "contours",
                                                              "--lakes-where", "elev = 205"};
        const BinaryRun whole = channel(words, c.dem);
        ASSERT_EQ(whole.exit_status, 0) << whole.err;
        const RasterRead channel_whole = read_raster(dir / "cauce.tif");
        const RasterRead model_whole = read_raster(dir / "mde.tif");
        int threads = 1;
        for (const std::string& tile : c.tiles) {
            SCOPED_TRACE("--tile " + tile + " --threads " + std::to_string(threads));
            const BinaryRun windowed = channel(words + std::vector<std::string>{"--tile", tile, "--threads",
                                                                                std::to_string(threads)},
                                               c.dem);
            ASSERT_EQ(windowed.exit_status, 0) << windowed.err;
            EXPECT_EQ(windowed.out, whole.out);
            EXPECT_EQ(windowed.err, whole.err);
            const RasterRead channel_windowed = read_raster(dir / "cauce.tif");
            expect_same_raster_description(channel_windowed, channel_whole);
            EXPECT_EQ(channel_windowed.values, channel_whole.values);
            const RasterRead model_windowed = read_raster(dir / "mde.tif");
            expect_same_raster_description(model_windowed, model_whole);
            EXPECT_EQ(model_windowed.values, model_whole.values);
            // A COG is written from the tiled GeoTIFF, with the options given; nothing else is left.
            EXPECT_EQ(metadata_item(dir / "cauce.tif", "LAYOUT", "IMAGE_STRUCTURE"), c.format.empty() ? "" : "COG");
            EXPECT_EQ(metadata_item(dir / "mde.tif", "COMPRESSION", "IMAGE_STRUCTURE"), c.conditioned_compression);
            EXPECT_EQ(temporaries_in(dir.path()), 0);
            threads = threads % 3 + 1;
        }
    }
    EXPECT_NE(channel({"-o", dir / "cauce.tif", "--overwrite"}, dir / "holes.tif").err.find("caen en pixeles sin dato"),
              std::string::npos);

    // What the windows cannot do as the whole route does is refused by them, never done otherwise.
    const std::vector<std::string> by_windows = {"-o", dir / "cauce.tif", "--overwrite", "--tile", "50"};
    for (const auto& [options, named] : {std::pair<std::vector<std::string>, std::string>{
                                             {"--conditioned", dir / "mde.tif"}, "use --burn-only"},
                                         {{"--contour-altitude-field", "elev"}, "--contour-altitude-field"}}) {
        const BinaryRun refused = channel(by_windows + options);
        EXPECT_EQ(refused.exit_status, 1);
        EXPECT_NE(refused.err.find("el calculo por ventanas no puede con estas opciones"), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find(named), std::string::npos) << refused.err;
    }

    // 3 x 1700 pixels, all channel: the contour at the left end only, so the
    // searches of the right end meet none within 1500 pixels (their tiles
    // read the full halo), and the banks on the middle line.
    const int columns = 1700;
    std::vector<double> slope;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < columns; ++j) slope.push_back(100.0 + j * 0.01);
    write_geotiff(dir / "long.tif", one_band(columns, 3, slope, GDT_Float32));
    const double right = kTenMetreGrid[0] + 10.0 * columns;
    const std::string box = "POLYGON((1000 2000," + std::to_string(right) + " 2000," + std::to_string(right) +
                            " 1970,1000 1970,1000 2000))";
    write_geopackage(dir / "long.gpkg",
                     {{"zone", {{box, 0}}},
                      {"banks", {{"LINESTRING(1000 1985," + std::to_string(right) + " 1985)", 0}}},
                      {"contours", {{"LINESTRING(1005 2000,1005 1970)", 210}}}});
    const std::string layers = dir / "long.gpkg";
    std::vector<std::string> words = {"channel", "--railing-height", "1", "--contour-altitude", "210",
                                      "--dem", dir / "long.tif", "--banks", layers, "--banks-layer", "banks",
                                      "--zone", layers, "--zone-layer", "zone", "--contour", layers,
                                      "--contour-layer", "contours", "-o", dir / "long_cauce.tif", "--overwrite"};
    const BinaryRun whole = run_tool(words);
    ASSERT_EQ(whole.exit_status, 0) << whole.err;
    EXPECT_EQ(whole.out.find("pixeles: 0 de la curva de nivel"), std::string::npos) << whole.out;
    const RasterRead want = read_raster(dir / "long_cauce.tif");
    const BinaryRun windowed = run_tool(words + std::vector<std::string>{"--tile", "100", "--threads", "2"});
    ASSERT_EQ(windowed.exit_status, 0) << windowed.err;
    EXPECT_EQ(windowed.out, whole.out);
    EXPECT_EQ(read_raster(dir / "long_cauce.tif").values, want.values);
}

#ifdef LORVANTIDE_MPIEXEC
// Under mpirun, on one to three processes, the windowed route gives the very
// outputs of the whole route (only rank 0 writes them); any other command is
// refused on more than one process.
TEST(Channel, WindowsUnderMpirunGiveTheWholeRoutesValues) {
    TempFolder dir;
    std::map<std::string, std::string> env;
#if defined(__SANITIZE_ADDRESS__)
    // Open MPI's run-time does not give back all it allocates (strings of its
    // components, unloaded at MPI_Finalize): checked for every memory error but leaks.
    const char* options = std::getenv("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = std::string(options != nullptr ? options : "") + ":detect_leaks=0";
#endif
    std::vector<std::string> words = {"-o", dir / "cauce.tif", "--conditioned", dir / "mde.tif", "--burn-only",
                                      "--overwrite", "--lakes", kSampleLayers, "--lakes-layer", "contours", "--lakes-where",
                                      "elev = 205"};
    const BinaryRun whole = channel(words);
    ASSERT_EQ(whole.exit_status, 0) << whole.err;
    const RasterRead channel_whole = read_raster(dir / "cauce.tif");
    const RasterRead model_whole = read_raster(dir / "mde.tif");
    const std::vector<std::string> command = std::vector<std::string>{"channel", "--railing-height", "1",
                                                                       "--contour-altitude", "210"} +
                                             words + sample_sources();
    for (const int processes : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(processes) + " processes");
        std::vector<std::string> arguments = {"--oversubscribe", "--allow-run-as-root", "-np",
                                              std::to_string(processes), raster_tool_binary()};
        arguments = arguments + command + std::vector<std::string>{"--tile", processes == 2 ? "23" : "41", "--threads", "1"};
        const BinaryRun run = run_child({LORVANTIDE_MPIEXEC, arguments, dir.path().string(), "", env, 0, 300});
        ASSERT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(run.out, whole.out);
        EXPECT_EQ(read_raster(dir / "cauce.tif").values, channel_whole.values);
        EXPECT_EQ(read_raster(dir / "mde.tif").values, model_whole.values);
        EXPECT_EQ(temporaries_in(dir.path()), 0);
    }
    // A failure on rank 0 (an output that exists, without --overwrite) fails every process, told once.
    std::vector<std::string> kept = {"--oversubscribe", "--allow-run-as-root", "-np", "2", raster_tool_binary()};
    for (const std::string& word : command)
        if (word != "--overwrite") kept.push_back(word);
    const BinaryRun refused = run_child({LORVANTIDE_MPIEXEC, kept + std::vector<std::string>{"--tile", "41"},
                                         dir.path().string(), "", env, 0, 300});
    EXPECT_NE(refused.exit_status, 0);
    const std::string told = "ya existe " + (dir / "cauce.tif") + "; use --overwrite para reemplazarlo";
    EXPECT_NE(refused.err.find(told), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find(told), refused.err.rfind(told)) << refused.err;
    EXPECT_EQ(read_raster(dir / "cauce.tif").values, channel_whole.values);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
    const BinaryRun other = run_child({LORVANTIDE_MPIEXEC,
                                       {"--oversubscribe", "--allow-run-as-root", "-np", "2", raster_tool_binary(),
                                        "import-dem", kSampleDem, dir / "valle"},
                                       dir.path().string(), "", env, 0, 300});
    EXPECT_EQ(other.exit_status, 1);
    EXPECT_NE(other.err.find("solo la orden channel"), std::string::npos) << other.err;
}
#endif
