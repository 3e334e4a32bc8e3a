// Every failure of lorvantide-raster: a message naming the culprit on
// standard error, exit status 1, and no half-made output left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "gis/command_table.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "gis/pair_files.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

class RasterToolErrors : public ::testing::Test {
protected:
    void SetUp() override {
        write_flat_dem(dir / "dem.tif", 50.0);
        ASSERT_EQ(run_tool({"import-dem", dir / "dem.tif", dir / "valle"}).exit_status, 0);
        write_file(dir / "junk.tif", "no soy un raster\n");
        write_file(dir / "afile", "");
    }

    // Like expect_refused, for messages that end with GDAL's own words.
    void expect_failure_starting(const std::vector<std::string>& arguments, const std::string& start) {
        const BinaryRun run = run_tool(arguments);
        EXPECT_EQ(run.exit_status, 1) << arguments[0];
        EXPECT_EQ(run.err.rfind("\n lorvantide-raster: " + start, 0), 0u) << run.err;
    }

    TempFolder dir;
};

TEST_F(RasterToolErrors, MissingFiles) {
    expect_refused({"import-dem", dir / "none.tif", dir / "x"}, "no existe el archivo " + (dir / "none.tif"));
    expect_refused({"import-mask", dir / "none.gpkg", dir / "x", "--like", dir / "valle"},
                   "no existe el archivo " + (dir / "none.gpkg"));
    expect_refused({"import-mask", dir / "dem.tif", dir / "x", "--like", dir / "nada"},
                   "falta " + (dir / "nada_m4.vrt") + ", la georreferencia de " + (dir / "nada") +
                       " (se crea con lorvantide-raster import-dem)");
    expect_refused({"export", dir / "cauce", dir / "out.tif", "--like", dir / "valle"},
                   "no existe o no se puede leer el archivo " + (dir / "cauce_m4.txt"));
    expect_refused({"preview", dir / "valle", dir / "p.png", "--mask", dir / "zona"},
                   "no existe o no se puede leer el archivo " + (dir / "zona.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tif"));
    EXPECT_FALSE(std::filesystem::exists(dir / "p.png"));
}

TEST_F(RasterToolErrors, UnknownFormats) {
    const std::string vrt = "el formato VRT no guarda los pixeles, solo remite a otros rasters: escriba un GeoTIFF (y, "
                            "si quiere un VRT, hagalo sobre el con gdalbuildvrt)";
    expect_failure_starting({"import-dem", dir / "junk.tif", dir / "x"},
                            "formato desconocido: " + (dir / "junk.tif") + " no es un raster que GDAL sepa leer");
    expect_failure_starting({"import-mask", dir / "junk.tif", dir / "x", "--like", dir / "valle"},
                            "formato desconocido: " + (dir / "junk.tif") +
                                " no es un raster ni una capa vectorial que GDAL sepa leer");
    expect_refused({"export", dir / "valle", dir / "out.xyz", "--like", dir / "valle", "--format", "NoSuchFormat"},
                   "formato de salida desconocido: NoSuchFormat");
    // A vector-only driver is no raster format either.
    expect_refused({"export", dir / "valle", dir / "out.shp", "--like", dir / "valle", "-of", "ESRI Shapefile"},
                   "formato de salida desconocido: ESRI Shapefile");
    // A format that cannot hold 32-bit pixels would cut the elevations down to bytes.
    expect_refused({"export", dir / "valle", dir / "out.png", "--like", dir / "valle", "-of", "PNG"},
                   "el formato PNG no admite pixeles Int32 (admite: Byte UInt16)");
    // Formats that write no file of their own are refused before anything is written.
    expect_refused({"export", dir / "valle", dir / "out.vrt", "--like", dir / "valle", "-of", "VRT"}, vrt);
    expect_refused({"export", dir / "valle", dir / "out.mem", "--like", dir / "valle", "--format", "MEM"},
                   "el formato MEM no escribe ningun archivo (guarda el raster en memoria)");
    expect_refused({"preview", dir / "valle", dir / "p.vrt", "-of", "VRT"}, vrt);
    expect_failure_starting({"export", dir / "valle", dir / "out.tif", "--like", dir / "valle", "-co", "COMPRESS=NADA"},
                            "opciones de creacion (-co) no validas para el formato GTiff");
    for (const char* name : {"out.png", "out.vrt", "out.mem", "p.vrt", "out.tif"})
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(RasterToolErrors, InputsThatCannotBeReadAreRefusedWithWhyNeverWaitedOn) {
    // A FIFO with no writer blocks whoever opens it for reading: as the
    // sidecar of a pair, and beside a GDAL source under its name (GDAL opens
    // X.aux.xml when it finds one). Calls that fail through the fault shim of
    // tests/faults: the open (EACCES), the first read (it meets a folder,
    // EISDIR, as a failing disk's EIO would come).
    std::filesystem::create_directories(dir / "f");
    for (const std::string name : {"valle_m4.raw", "valle_m4.txt", "dem.tif"})
        std::filesystem::copy_file(dir / name, dir / ("f/" + name));
    ASSERT_EQ(mkfifo((dir / "f/valle_m4.vrt").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "f/dem.tif.aux.xml").c_str(), 0600), 0);
    write_geopackage(dir / "v.gpkg", {{"v", {{"LINESTRING (1000 1990, 1040 1990)", 0}}}});
    const std::string fifo = (dir / "f/valle_m4.vrt") + " no es un archivo normal";
    const std::vector<std::string> import = {"import-dem", dir / "dem.tif", dir / "x"};
    const struct {
        std::vector<std::string> arguments;
        std::string fault;
        std::string message;
    } cases[] = {
        {{"export", dir / "f/valle", dir / "out.tif", "--like", dir / "f/valle"}, "", fifo},
        {{"import-mask", dir / "dem.tif", dir / "m", "--like", dir / "f/valle"}, "", fifo},
        {{"import-dem", dir / "f/dem.tif", dir / "x"}, "",
         (dir / "f/dem.tif.aux.xml") + ", junto a " + (dir / "f/dem.tif") +
             ", no es un archivo normal: GDAL lo abriria y la orden se quedaria esperando"},
        {import, "open:1:*/dem.tif", "no se puede abrir " + (dir / "dem.tif") + ": Permission denied"},
        {import, "read:1:*/dem.tif", "no se puede leer " + (dir / "dem.tif") + ": Is a directory"},
        {{"import-mask", dir / "v.gpkg", dir / "x", "--like", dir / "valle"}, "read:1:*/v.gpkg",
         "no se puede leer " + (dir / "v.gpkg") + ": Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.fault);
        ChildRequest request{raster_tool_binary(), c.arguments, ".", "", {}, 0, 20};
        if (!c.fault.empty()) {
            const char* asan = std::getenv("ASAN_OPTIONS");
            request.env = {{"LD_PRELOAD", IO_FAULT_SHIM}, {"IO_FAULT", c.fault},
                           {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"}};
        }
        const BinaryRun run = run_child(request);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "\n lorvantide-raster: " + c.message + " \n");
    }
    for (const char* name : {"out.tif", "m.raw", "x.raw", "x_m4.raw"}) EXPECT_FALSE(std::filesystem::exists(dir / name));
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(RasterToolErrors, GdalsOwnSpellingsAndDebugMessages) {
    // -overwrite and --quiet as gdal_translate takes them.
    const BinaryRun spelled = run_tool({"import-dem", dir / "dem.tif", dir / "valle", "-overwrite", "--quiet"});
    EXPECT_EQ(spelled.exit_status, 0) << spelled.err;
    EXPECT_EQ(spelled.err, "");
    // GDAL's debug messages, asked for as any GDAL utility asks.
    const BinaryRun debug =
        run_tool({"import-dem", dir / "dem.tif", dir / "valle", "--overwrite", "--config", "CPL_DEBUG", "ON"});
    EXPECT_EQ(debug.exit_status, 0) << debug.err;
    EXPECT_NE(debug.err.find("GDAL: GDALOpen(" + (dir / "dem.tif")), std::string::npos) << debug.err;
}

TEST_F(RasterToolErrors, MismatchedGrids) {
    write_file(dir / "cauce_m4.raw", std::string(4 * 4 * 4, '\0'));
    write_file(dir / "cauce_m4.txt", "4\n4\n4\n0\n0\n10\n");
    expect_refused({"export", dir / "cauce", dir / "out.tif", "--like", dir / "valle"},
                   "el par " + (dir / "cauce") + " tiene 4 columnas x 4 lineas y el MDE " + (dir / "valle") +
                       " 4 columnas x 3 lineas, origen (1000, 2000), pixel 10 x -10");
    write_file(dir / "zona.raw", std::string(4 * 4, '\0'));
    write_file(dir / "zona.txt", "4\n4\n");
    expect_refused({"preview", dir / "valle", dir / "p.png", "--mask", dir / "zona"},
                   (dir / "zona") + " (4 columnas x 4 lineas) no tiene el tamano de " + (dir / "valle") +
                       " (4 columnas x 3 lineas)");
    // A pair whose raw file is shorter than its descriptor says is not read as zeros.
    write_file(dir / "short_m4.raw", std::string(47, '\0'));
    write_file(dir / "short_m4.txt", "3\n4\n4\n0\n0\n10\n");
    expect_refused({"export", dir / "short", dir / "out.tif", "--like", dir / "valle"},
                   "el archivo " + (dir / "short_m4.raw") + " tiene 47 bytes y su descriptor pide 48");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tif"));
}

TEST_F(RasterToolErrors, UnwritableOutputs) {
    // A plain file used as a folder cannot hold anything, even for root.
    const std::string blocked = dir / "afile";
    const std::string no_folder = ": no existe la carpeta " + blocked;
    expect_refused({"import-dem", dir / "dem.tif", blocked + "/x"}, "no se puede escribir " + blocked + "/x_m4.raw" +
                                                                        no_folder);
    expect_refused({"import-mask", dir / "dem.tif", blocked + "/m", "--like", dir / "valle"},
                   "no se puede escribir " + blocked + "/m.raw" + no_folder);
    expect_refused({"export", dir / "valle", blocked + "/out.tif", "--like", dir / "valle"},
                   "no se puede escribir " + blocked + "/out.tif" + no_folder);
    expect_refused({"preview", dir / "valle", blocked + "/p.png"}, "no se puede escribir " + blocked + "/p.png" +
                                                                       no_folder);
}

TEST_F(RasterToolErrors, CommandLineMistakes) {
    expect_refused({}, "falta la orden (import-dem, import-mask, export, preview o channel); vea lorvantide-raster --help");
    expect_refused({"convert"}, "orden desconocida: convert; vea lorvantide-raster --help");
    expect_refused({"import-dem", dir / "dem.tif"}, "import-dem necesita SRC y DIR/NOMBRE (se dieron 1 argumentos)");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--sacle", "2"}, "opcion desconocida: --sacle");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--scale"}, "falta el valor de la opcion --scale");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--scale", "10m"}, "valor no valido para --scale: 10m");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--scale", "0"},
                   "--scale debe ser un numero positivo: 0");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--scale=-10"},
                   "--scale debe ser un numero positivo: -10");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "-tr", "5"}, "falta el valor de la opcion -tr");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--band", "2"}, (dir / "dem.tif") +
                                                                                  " no tiene la banda 2 (tiene 1)");
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--nodata", "3000000000"},
                   "valor no valido para --nodata (se espera un entero de 32 bits): 3000000000");
    // One sign only (found by fuzz_gis_arguments).
    expect_refused({"import-dem", dir / "dem.tif", dir / "x", "--nodata", "+-5"},
                   "valor no valido para --nodata (se espera un entero de 32 bits): +-5");
    expect_refused({"import-mask", dir / "dem.tif", dir / "m"}, "import-mask necesita la opcion --like");
    expect_refused({"import-mask", dir / "dem.tif", dir / "m", "--like", dir / "valle", "--tone", "0"},
                   "el tono debe estar entre 1 y 255 (0 es el fondo de la mascara): 0");
    expect_refused({"import-mask", dir / "dem.tif", dir / "m", "--like", dir / "valle", "--where", "a=1", "--burn"},
                   "--where y --burn se excluyen: --burn quema todos los objetos de la capa");
    expect_refused({"import-mask", dir / "dem.tif", dir / "m", "--like", dir / "valle", "--all-touched"},
                   (dir / "dem.tif") + " es un raster: --layer, --where y --all-touched son para capas vectoriales");
    write_geopackage(dir / "v.gpkg", {{"v", {{"LINESTRING (1000 1990, 1040 1990)", 0}}}});
    expect_refused({"import-mask", dir / "v.gpkg", dir / "m", "--like", dir / "valle", "--class", "3"},
                   (dir / "v.gpkg") + " es una capa vectorial: --class es para rasters de clases");
    expect_refused({"export", dir / "valle", dir / "o.tif", "--like", dir / "valle", "--like", dir / "valle"},
                   "la opcion --like aparece dos veces");
    expect_refused({"preview", dir / "valle", dir / "p.png", "--tone", "3"},
                   "--tone elige los pixeles de la mascara: falta --mask");
    expect_refused({"export", dir / "valle", dir / "o.tif", "--like", dir / "valle", "--tone", "3"},
                   "--tone elige los pixeles de la mascara: falta --mask");
    expect_refused({"export", dir / "valle", dir / "o.tif", "--like", dir / "valle", "-ot", "Byte"},
                   "-ot Byte no vale para export: sin --unscale se escriben los enteros del par (Int16, UInt16 o "
                   "Int32), con --unscale valores reales (Float32 o Float64)");
    EXPECT_FALSE(std::filesystem::exists(dir / "x_m4.raw"));
}

TEST_F(RasterToolErrors, PixelsThatCannotBeImportedAreRefusedNotWrappedNorFilled) {
    write_geotiff(dir / "big.tif", one_band(2, 1, {1.0, 3e9}, GDT_Float64));
    expect_refused({"import-dem", dir / "big.tif", dir / "x"},
                   "el valor de la linea 0, columna 1 no cabe en 32 bits una vez escalado");
    TiffRecipe empty = one_band(3, 2, std::vector<double>(6, -9999.0));
    empty.nodata = -9999.0;
    write_geotiff(dir / "empty.tif", empty);
    expect_refused({"import-dem", dir / "empty.tif", dir / "x"}, (dir / "empty.tif") + " no tiene ningun pixel con dato");
    EXPECT_FALSE(std::filesystem::exists(dir / "x_m4.raw"));
}

TEST_F(RasterToolErrors, HugeDeclaredSizesAreRefusedWithAMessageNotAnAbort) {
    // 114 bytes that declare 2 000 000 x 2 000 000 pixels: import-dem streams
    // the model, so what it refuses is a pair larger than the disk.
    write_file(dir / "huge.vrt",
               "<VRTDataset rasterXSize=\"2000000\" rasterYSize=\"2000000\">\n"
               "  <VRTRasterBand dataType=\"Int16\" band=\"1\"/>\n</VRTDataset>\n");
    expect_failure_starting({"import-dem", dir / "huge.vrt", dir / "huge"},
                            "no hay espacio en el disco para importar " + (dir / "huge.vrt") +
                                ": hacen falta 15258790 MiB y hay ");
    EXPECT_FALSE(std::filesystem::exists(dir / "huge_m4.raw"));
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(RasterToolErrors, UnderAnyAddressSpaceLimitAMemoryMessageOrTheWholeResultNeverAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limits tried";
#else
    // import-dem and channel on the sample under address-space limits from
    // too small to load GDAL's libraries to enough for everything. Once the
    // program runs (it has spoken), whatever runs short (GDAL's drivers, an
    // open, a write, the grids) ends it with a memory message and the
    // earlier outputs whole, or it writes what an unlimited run writes.
    // Below that, the loader or a library's own start-up may fail before
    // the program does anything.
    struct Command {
        std::vector<std::string> arguments;
        std::string output;
    };
    const Command commands[] = {
        {{"import-dem", kSampleDem, dir / "v", "--scale", "10", "--overwrite", "-q"}, dir / "v_m4.raw"},
        {std::vector<std::string>{"channel", "--railing-height", "1", "--contour-altitude", "210", "-o", dir / "c.tif",
                                  "--conditioned", dir / "d.tif", "--overwrite", "-q"} +
             sample_sources(),
         dir / "c.tif"},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.arguments.front());
        ASSERT_EQ(run_tool(command.arguments).exit_status, 0);
        const std::string whole = read_file(command.output);
        int stopped = 0;
        int written = 0;
        // Coarse steps up to where the program starts, then fine ones.
        for (unsigned long long kib = 128 << 10, step = 4 << 10; kib <= (1024 << 10) && written < 3; kib += step) {
            SCOPED_TRACE(std::to_string(kib) + " KiB");
            write_file(command.output, "earlier");
            const BinaryRun r = run_child({raster_tool_binary(), command.arguments, ".", "", {}, kib << 10, 60});
            if (step > 512 && r.err.find("\n lorvantide-raster: ") != std::string::npos) {
                kib -= step;
                step = 512;
                continue;
            }
            if (r.err.find("\n lorvantide-raster: ") == std::string::npos && r.exit_status != 0) {
                EXPECT_EQ(stopped + written, 0) << "the program failed to start above a limit it ran under: "
                                                << r.exit_status << r.err;
                continue;
            }
            if (r.exit_status == 0) {
                ++written;
                EXPECT_TRUE(read_file(command.output) == whole);
                continue;
            }
            ++stopped;
            EXPECT_EQ(r.exit_status, 1) << r.err;
            EXPECT_NE(r.err.find("memoria"), std::string::npos) << r.err;
            EXPECT_EQ(read_file(command.output), "earlier");
            EXPECT_EQ(temporaries_in(dir.path()), 0);
        }
        EXPECT_GT(stopped, 0);
        EXPECT_EQ(written, 3);
    }
#endif
}

TEST_F(RasterToolErrors, SelectionsThatSelectNothingAreRefused) {
    save_mask_pair(dir / "zona", MaskPair{3, 4, {0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0}});
    expect_refused({"preview", dir / "valle", dir / "p.png", "--mask", dir / "zona", "--tone", "7"},
                   "ningun pixel de la mascara " + (dir / "zona") + " tiene el tono 7");
    expect_refused({"export", dir / "valle", dir / "o.tif", "--like", dir / "valle", "--mask", dir / "zona", "--tone",
                    "7"},
                   "ningun pixel de la mascara " + (dir / "zona") + " tiene el tono 7");
    EXPECT_FALSE(std::filesystem::exists(dir / "p.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "o.tif"));
}

TEST(RasterToolHelp, GeneralAndPerCommandHelpAndVersionOnStandardOutput) {
    const BinaryRun help = run_tool({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Uso: lorvantide-raster ORDEN ARGUMENTOS [opciones]\n", 0), 0u);
    for (const char* command : {"import-dem SRC", "import-mask SRC", "export DIR/RESULTADO", "preview DIR/PAR",
                                "channel --dem MDE"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;

    // Each command's help, and the manual page, name every option the command takes.
    const std::string manual = read_file(std::string(LORVANTIDE_SOURCE_DIR) + "/docs/lorvantide-raster.1");
    const auto in_manual = [&](const std::string& name) {
        std::string escaped;  // "--scale" is written "\-\-scale" in the page
        for (char c : name) {
            if (c == '-') escaped += '\\';
            escaped += c;
        }
        return manual.find(escaped) != std::string::npos;
    };
    for (const CommandDef& command : command_table()) {
        const BinaryRun own = run_tool({command.name, "--help"});
        EXPECT_EQ(own.exit_status, 0);
        EXPECT_EQ(own.out.rfind("Uso: lorvantide-raster " + command.name + " ", 0), 0u) << own.out;
        EXPECT_NE(manual.find(".B lorvantide-raster " + command.name + "\n"), std::string::npos) << command.name;
        std::vector<OptionDef> options = command.options;
        options.insert(options.end(), common_options().begin(), common_options().end());
        for (const OptionDef& option : options)
            for (const std::string& name : {option.name, option.alias}) {
                if (name.empty()) continue;
                EXPECT_NE(own.out.find(name + " "), std::string::npos) << command.name << " " << name;
                EXPECT_TRUE(in_manual(name)) << name;
            }
        EXPECT_EQ(run_tool({command.name, "x", "-h"}).out, own.out);
    }

    const BinaryRun version = run_tool({"--version"});
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out.rfind("lorvantide-raster 0.1.0 (GDAL 3.", 0), 0u) << version.out;
}

}  // namespace
