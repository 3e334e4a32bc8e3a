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
#include "tests/support/fault_sweep.hpp"
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
        return run_child({raster_tool_binary(), arguments, ".", "", fault_environment(IO_FAULT_SHIM, fault, signal), 0});
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
    const BinaryRun during = run_with_fault(import, "rename:1:*tmp/valle_m4.raw", SIGTERM);
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
    const std::string kept = ": no se escribio ninguna salida y los archivos anteriores quedan como estaban \n";
    const std::string unplaced = " (no se puede poner en su sitio: Input/output error)" + kept;
    const Case cases[] = {
        // Any rename of the three failing: those made before it are undone.
        {import, "rename:1:*tmp/valle_m4.raw", 1, message + "no se puede escribir " + raw + unplaced, false},
        {import, "rename:1:*tmp/valle_m4.txt", 1, message + "no se puede escribir " + (dir / "valle_m4.txt") + unplaced,
         false},
        {import, "rename:1:*tmp/valle_m4.vrt", 1, message + "no se puede escribir " + (dir / "valle_m4.vrt") + unplaced,
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
         message + "no se puede escribir " + (dir / "out.tif") + " (no se puede quitar " + aux +
             ", que describe el archivo anterior: Input/output error)" + kept,
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

// Every rename, link, unlink and fsync on the outputs' folder of import-dem
// (a pair and its georeferencing) and of channel (its raster and the
// conditioned model) failed in turn, then every rename and link killed in
// turn: the earlier set or the new one, whole, is on disk; after a kill the
// next command naming an output makes the set whole, and says so.
TEST_F(ToolOutputs, NoFailingOrKilledCallLeavesAMixedSet) {
    const std::vector<std::string> import = {"import-dem", dir / "dem2.tif", dir / "valle", "--overwrite"};
    const std::vector<std::string> channel =
        std::vector<std::string>{"channel", "--railing-height", "1", "--contour-altitude", "210", "-q", "-o",
                                 dir / "cauce.tif", "--conditioned", dir / "cond.tif", "--overwrite"} +
        sample_sources();
    const std::vector<std::string> channel_outputs = {"cauce.tif", "cond.tif"};
    ASSERT_EQ(run_tool(channel).exit_status, 0);
    const auto bytes = [&](const std::vector<std::string>& names) {
        std::vector<std::string> read;
        for (const std::string& name : names) read.push_back(read_file(dir / name));
        return read;
    };
    const std::vector<std::string> earlier_channel = bytes(channel_outputs);
    // A channel with another contour altitude: other bytes in both outputs.
    std::vector<std::string> other = channel;
    other[4] = "211";

    struct Command {
        std::vector<std::string> words;
        std::vector<std::string> outputs;
        std::vector<std::string> earlier;
    };
    const Command commands[] = {{import, {"valle_m4.raw", "valle_m4.txt", "valle_m4.vrt"}, {}},
                                {other, channel_outputs, earlier_channel}};
    for (const Command& command : commands) {
        const std::vector<std::string> before = command.earlier.empty() ? bytes(command.outputs) : command.earlier;
        const auto restore = [&] {
            for (std::size_t k = 0; k < before.size(); ++k) write_file(dir / command.outputs[k], before[k]);
        };
        restore();
        ASSERT_EQ(run_tool(command.words).exit_status, 0);
        const std::vector<std::string> after = bytes(command.outputs);
        ASSERT_NE(after, before);
        const std::string pattern = dir.path().string() + "/*";
        for (const std::string kind : {"rename", "link", "unlink", "fsync"}) {
            const int calls = sweep_calls(IO_FAULT_SHIM, kind, pattern, 0, [&](const std::string& fault, const Environment& env) {
                restore();
                const BinaryRun run = run_child({raster_tool_binary(), command.words, ".", "", env, 0});
                const std::vector<std::string> now = bytes(command.outputs);
                EXPECT_TRUE(now == before || now == after) << fault << run.err;
                if (run.exit_status == 0) {
                    EXPECT_EQ(now, after) << fault;
                }
            });
            EXPECT_GE(calls, kind == "rename" ? 2 * static_cast<int>(command.outputs.size()) : 1) << kind;
        }
        for (const std::string kind : {"rename", "link"}) {
            sweep_calls(IO_FAULT_SHIM, kind, pattern, SIGKILL, [&](const std::string& fault, const Environment& env) {
                restore();
                run_child({raster_tool_binary(), command.words, ".", "", env, 0});
                const bool mixed = bytes(command.outputs) != before && bytes(command.outputs) != after;
                // The same command without --overwrite: it makes the set whole, then refuses to replace it.
                std::vector<std::string> next = command.words;
                next.erase(std::find(next.begin(), next.end(), "--overwrite"));
                const BinaryRun run = run_tool(next);
                EXPECT_EQ(run.exit_status, 1) << fault;
                // A set half renamed is restored (the files renamed may equal the earlier ones: not a mix to see).
                const bool restored = run.err.find("se restauraron los archivos anteriores") != std::string::npos;
                EXPECT_TRUE(restored || !mixed) << fault << run.err;
                const std::vector<std::string> now = bytes(command.outputs);
                EXPECT_TRUE(now == before || (now == after && !restored)) << fault;
                // The next writer takes the killed run's folders over.
                EXPECT_EQ(run_tool(command.words).exit_status, 0) << fault;
                EXPECT_EQ(temporaries_in(dir.path()), 0) << fault;
            });
        }
    }
    // channel with its outputs in place and its summary lost: status 2, not 1 (which says nothing was written).
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" > /dev/full", raster_tool_binary()};
    shell = shell + std::vector<std::string>(channel.begin(), channel.begin() + 5) +
            std::vector<std::string>(channel.begin() + 6, channel.end());
    const BinaryRun full = run_child({"/bin/sh", shell, ".", "", {}, 0});
    EXPECT_EQ(full.exit_status, 2) << full.err;
    EXPECT_EQ(bytes(channel_outputs), earlier_channel);
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
