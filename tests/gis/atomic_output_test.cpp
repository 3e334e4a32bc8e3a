// Outputs are never half-replaced: an existing output is refused unless
// --overwrite, a failed or interrupted command leaves the earlier files as
// they were and no temporary behind, and no output may be an input.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "files/atomic_outputs.hpp"
#include "gis/gdal_env.hpp"
#include "tests/gis/gis_fixture.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

class ToolOutputs : public ::testing::Test {
protected:
    void SetUp() override {
        write_flat_dem(dir / "dem.tif", 50.0);
        write_flat_dem(dir / "dem2.tif", 70.0);
        const BinaryRun first = run_tool({"import-dem", dir / "dem.tif", dir / "valle"});
        ASSERT_EQ(first.exit_status, 0) << first.err;
        ASSERT_EQ(run_tool({"export", dir / "valle", dir / "out.tif", "--like", dir / "valle"}).exit_status, 0);
        earlier = files();
    }

    // The bytes of every file the setup made.
    std::vector<std::string> files() const {
        std::vector<std::string> bytes;
        for (const char* name : {"valle_m4.raw", "valle_m4.txt", "valle_m4.vrt", "out.tif"})
            bytes.push_back(read_file(dir / name));
        return bytes;
    }

    // The tool run with a file size limit of 512 bytes: larger writes fail.
    BinaryRun run_with_small_files(const std::vector<std::string>& arguments) {
        std::vector<std::string> words = {"-c", "ulimit -f 1; trap '' XFSZ; exec \"$0\" \"$@\"", raster_tool_binary()};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return run_child({"/bin/sh", words, ".", "", {}, 0});
    }

    // The tool with a call that fails, or brings `signal` (tests/faults/shim).
    BinaryRun run_with_fault(const std::vector<std::string>& arguments, const std::string& fault, int signal = 0) {
        std::map<std::string, std::string> env = {{"LD_PRELOAD", IO_FAULT_SHIM}, {"IO_FAULT", fault}};
        if (signal != 0) env["IO_FAULT_SIGNAL"] = std::to_string(signal);
        // A preloaded library comes before the sanitizer's runtime.
        const char* asan = std::getenv("ASAN_OPTIONS");
        env["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
        return run_child({raster_tool_binary(), arguments, ".", "", env, 0});
    }

    TempFolder dir;
    std::vector<std::string> earlier;
};

TEST_F(ToolOutputs, ExistingOutputsAreReplacedOnlyWithOverwrite) {
    expect_refused({"import-dem", dir / "dem2.tif", dir / "valle"},
                   "ya existe " + (dir / "valle_m4.raw") + "; use --overwrite para reemplazarlo");
    EXPECT_EQ(run_tool({"export", dir / "valle", dir / "out.tif", "--like", dir / "valle"}).exit_status, 1);
    EXPECT_EQ(files(), earlier);

    const BinaryRun replaced = run_tool({"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"});
    ASSERT_EQ(replaced.exit_status, 0) << replaced.err;
    EXPECT_EQ(elevation_raw(dir / "valle_m4.raw"), std::vector<int32_t>(12, 70));
    ASSERT_EQ(run_tool({"export", dir / "valle", dir / "out.tif", "--like", dir / "valle", "--overwrite"}).exit_status,
              0);
    EXPECT_EQ(read_raster(dir / "out.tif").values[0], std::vector<double>(12, 70.0));
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(ToolOutputs, AnOutputAnotherRunIsWritingIsRefused) {
    AtomicOutputs other_run;
    ASSERT_EQ(other_run.add(dir / "valle_m4.txt"), AtomicOutputs::Claim::ok);
    expect_refused({"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"},
                   "la salida " + (dir / "valle_m4.txt") + " esta en uso por otra ejecucion del programa");
    other_run.abandon();
    EXPECT_EQ(files(), earlier);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(ToolOutputs, AFailedWriteLeavesTheEarlierFilesAsTheyWere) {
    // The raw file and descriptor fit in 512 bytes, the georeferencing does not.
    const BinaryRun sidecar = run_with_small_files({"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"});
    EXPECT_EQ(sidecar.exit_status, 1);
    // With the system's reason, as the other programs give it.
    EXPECT_EQ(sidecar.err, "\n lorvantide-raster: no se puede escribir " + (dir / "valle_m4.vrt") + ": File too large \n");
    // A tiled GeoTIFF holds a whole 256 x 256 tile.
    const BinaryRun tiff = run_with_small_files(
        {"export", dir / "valle", dir / "out.tif", "--like", dir / "valle", "--overwrite", "-co", "TILED=YES", "-q"});
    EXPECT_EQ(tiff.exit_status, 1);
    EXPECT_EQ(tiff.err.rfind("\n lorvantide-raster: no se puede escribir " + (dir / "out.tif"), 0), 0u) << tiff.err;
    EXPECT_EQ(files(), earlier);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

TEST_F(ToolOutputs, ASignalLeavesEveryEarlierFileOrEveryNewOneAndNoTemporary) {
    const std::vector<std::string> import = {"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"};
    // Every output written, none put in place yet: the temporaries go.
    const BinaryRun before = run_with_fault(import, "fsync:1:*", SIGHUP);
    EXPECT_EQ(before.exit_status, 128 + SIGHUP);
    EXPECT_EQ(files(), earlier);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
    // Once they are being put in place, all of them are; then the signal ends the command.
    const BinaryRun during = run_with_fault(import, "rename:1:*", SIGTERM);
    EXPECT_EQ(during.exit_status, 128 + SIGTERM);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
    const std::vector<std::string> placed = files();
    EXPECT_NE(placed, earlier);
    ASSERT_EQ(run_tool(import).exit_status, 0);
    EXPECT_EQ(files(), placed);
}

TEST_F(ToolOutputs, EachFailingCallOfThePuttingInPlaceIsReportedWithWhatItLeft) {
    const std::vector<std::string> import = {"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"};
    const std::vector<std::string> again = {"export", dir / "valle", dir / "out.tif", "--like", dir / "valle",
                                            "--overwrite"};
    const std::string raw = dir / "valle_m4.raw";
    const std::string aux = dir / "out.tif.aux.xml";  // what GDAL learnt of the earlier out.tif
    const std::string message = "\n lorvantide-raster: ";
    struct Case {
        std::vector<std::string> command;
        std::string fault;
        int exit_status;
        std::string err;
        bool replaced;  // the files differ from the earlier ones
        bool aux_left = true;
    };
    const Case cases[] = {
        {import, "rename:1:*", 1, message + "no se puede escribir " + raw + " (no se puede poner en su sitio) \n",
         false},
        // The new file would not have the earlier one's permissions.
        {import, "chmod:1:*valle_m4.raw*", 1, message + "no se puede escribir " + raw + " \n", false},
        {import, "chown:1:*valle_m4.raw*", 0,
         message + "aviso: no se puede conservar el dueno de " + raw + ": el archivo nuevo es de este usuario \n",
         true},
        {import, "fsync:1:*/" + dir.path().filename().string(), 1,  // the folder, whatever leads to it
         message + "no se puede asegurar en el disco " + raw +
             ": las salidas estan en su sitio, pero una caida del sistema podria deshacerlo \n",
         true},
        // The new raster brings no auxiliary file: the earlier one goes with the raster it described.
        {again, "", 0, "", false, false},
        {again, "rename:1:" + aux, 1,
         message + "no se puede escribir " + (dir / "out.tif") +
             " del todo: ya esta en su sitio, pero no se puede quitar " + aux + ", que describe el archivo anterior \n",
         false},
    };
    const char* const names[] = {"valle_m4.raw", "valle_m4.txt", "valle_m4.vrt", "out.tif"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        for (std::size_t k = 0; k < earlier.size(); ++k) write_file(dir / names[k], earlier[k]);
        write_file(aux, "<PAMDataset/>");
        const BinaryRun run = run_with_fault(c.command, c.fault);
        EXPECT_EQ(run.exit_status, c.exit_status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(files() != earlier, c.replaced);
        EXPECT_EQ(std::filesystem::exists(aux), c.aux_left);
        EXPECT_EQ(temporaries_in(dir.path()), 0);
    }
}

TEST_F(ToolOutputs, NoOutputIsAnInputOfTheCommand) {
    const std::string valle = dir / "valle";
    const auto refused = [&](const std::vector<std::string>& arguments, const std::string& output,
                             const std::string& input) {
        expect_refused(arguments, "la salida " + output + " es tambien una entrada de la orden (" + input +
                                      "): elija otro nombre");
    };
    // A mask named like the model's pair would be written over it.
    refused({"import-mask", dir / "dem.tif", valle + "_m4", "--like", valle}, valle + "_m4.raw", valle + "_m4.raw");
    refused({"export", valle, valle + "_m4.raw", "--like", valle, "--overwrite"}, valle + "_m4.raw",
            valle + "_m4.raw");
    refused({"preview", valle, valle + "_m4.vrt", "--overwrite"}, valle + "_m4.vrt", valle + "_m4.vrt");
    refused({"import-dem", valle + "_m4.vrt", valle, "--overwrite"}, valle + "_m4.raw", valle + "_m4.raw");
    EXPECT_EQ(files(), earlier);
}

TEST_F(ToolOutputs, NoFileADriverWritesBesideAnOutputIsAnInput) {
    // ERS writes X.ers and its data in X: an output X.ers would replace an input X.
    const std::string valle = dir / "valle";
    const auto refused = [&](const std::vector<std::string>& arguments, const std::string& output,
                             const std::string& input) {
        expect_refused(arguments, "la salida " + output + " escribiria tambien " + input +
                                      ", que es una entrada de la orden (" + input + "): elija otro nombre");
    };
    refused({"export", valle, valle + "_m4.raw.ers", "--like", valle, "-of", "ERS"}, valle + "_m4.raw.ers",
            valle + "_m4.raw");
    refused({"preview", valle, valle + "_m4.txt.ers", "-of", "ERS"}, valle + "_m4.txt.ers", valle + "_m4.txt");
    // channel over a model in ENVI's format, `dem` beside its dem.hdr.
    Dataset sample(GDALOpen(kSampleDem.c_str(), GA_ReadOnly));
    Dataset envi(GDALCreateCopy(GDALGetDriverByName("ENVI"), (dir / "dem").c_str(),
                                static_cast<GDALDatasetH>(sample.get()), FALSE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(envi);
    envi.reset();
    const std::string model = read_file(dir / "dem");
    refused(std::vector<std::string>{"channel", "--railing-height", "1", "--contour-altitude", "210", "-o",
                                     dir / "dem.ers", "-of", "ERS"} +
                sample_sources(dir / "dem"),
            dir / "dem.ers", dir / "dem");
    EXPECT_TRUE(read_file(dir / "dem") == model);
    EXPECT_FALSE(std::filesystem::exists(dir / "dem.ers"));
    EXPECT_EQ(files(), earlier);
    EXPECT_EQ(temporaries_in(dir.path()), 0);
}

}  // namespace
