// lorvantide-tiles against the console program: the same result pair, byte
// for byte, whatever the tiles, threads and processes; and its refusals,
// failures and signals, which never leave a temporary behind nor touch the
// previous result.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "console/input_pair.hpp"
#include "files/atomic_outputs.hpp"
#include "tests/scenarios/floodplain.hpp"
#include "tests/scenarios/scenario_files.hpp"
#include "tests/scenarios/sparse_river.hpp"
#include "tests/support/console_capture.hpp"
#include "tests/support/fault_sweep.hpp"
#include "tests/support/temp_folder.hpp"
#include "tests/support/run_binary.hpp"
#include "tests/tiles/tile_scenarios.hpp"
#include "tiles/job.hpp"
#include "tiles/tiles_error.hpp"
#include "windows/reach_map.hpp"
#include "windows/windowed_run.hpp"

namespace {

namespace fs = std::filesystem;

// lorvantide-tiles with `arguments` (the image root added), nothing on its
// standard output; its result pair as expect_result_and_remove checks it.
void expect_same_result(const TempFolder& root, const std::vector<std::string>& arguments, const ResultPair& expected,
                        const std::string& label, const std::string& folder = "rio1") {
    const std::vector<std::string> before = names_in(root / folder);
    std::vector<std::string> words = arguments;
    words.insert(words.end(), {"--images", root.path().string()});
    const BinaryRun run = run_child(child_request(tiles_binary(), words, root.path().string()));
    EXPECT_EQ(run.out, "") << label;
    expect_result_and_remove(root, folder, run, expected, before, label);
}

}  // namespace

// Small rasters of every kind, cut into tiles from 3 pixels (so that a tile's
// computed margin spans several other cores) to one tile for the whole raster.
TEST(TilesAgainstConsole, SmallRastersWhateverTheTiles) {
    struct Case {
        uint32_t seed;
        int32_t lines, columns;
        Flavour flavour;
        bool water;
    };
    const Case cases[] = {
        {1, 37, 53, Flavour::blobs, true},          {2, 40, 41, Flavour::everywhere, false},
        {3, 25, 60, Flavour::no_contour, true},     {4, 30, 30, Flavour::tones_outside, true},
        {5, 1, 70, Flavour::blobs, false},          {6, 70, 1, Flavour::everywhere, true},
        {7, 13, 7, Flavour::everywhere, true},      {8, 50, 45, Flavour::far_boundary, false},
    };
    for (const Case& c : cases) {
        TempFolder root;
        const TileScenario scenario = make_scenario(c.seed, c.lines, c.columns, c.flavour, c.water);
        scenario.write(root.path().string());
        const std::string answers = scenario.answers.text();
        const ResultPair expected = console_run(root, answers);
        const std::string file = write_answers(root, answers);
        int threads = 1;
        for (const char* tile : {"3", "7", "24", "1000"}) {
            const std::string label = "seed " + std::to_string(c.seed) + ", tile " + tile;
            expect_same_result(root, {"--answers", file, "--tile", tile, "--threads", std::to_string(threads)},
                               expected, label);
            threads = threads % 3 + 1;
        }
    }
}

// A raster wider than two search reaches: the input windows are smaller than
// the raster, and far pixels miss the railing or the contour line (the
// warning sums the misses of the cores).
TEST(TilesAgainstConsole, InputWindowsSmallerThanTheRaster) {
    struct Case {
        uint32_t seed;
        int32_t lines, columns;
        Flavour flavour;
        bool water;
        std::vector<std::vector<std::string>> runs;
    };
    const Case cases[] = {
        {11, 5, 4200, Flavour::far_boundary, true, {{"--tile", "40"}, {"--tile", "1000", "--threads", "3"}}},
        {12, 7, 3300, Flavour::blobs, false, {{"--tile", "64", "--threads", "2"}, {"--memory", "60M"}}},
    };
    for (const Case& c : cases) {
        TempFolder root;
        const TileScenario scenario = make_scenario(c.seed, c.lines, c.columns, c.flavour, c.water);
        scenario.write(root.path().string());
        const ResultPair expected = console_run(root, scenario.answers.text());
        if (c.flavour == Flavour::far_boundary) {
            EXPECT_EQ(expected.warnings.size(), 1u);  // misses are there
        }
        const std::string file = write_answers(root, scenario.answers.text());
        for (const std::vector<std::string>& run : c.runs) {
            std::vector<std::string> words = {"--answers", file};
            words.insert(words.end(), run.begin(), run.end());
            expect_same_result(root, words, expected, "seed " + std::to_string(c.seed) + " " + run[1]);
        }
        // Files that end in the middle of a line (but hold more than half of
        // the raster, or both programs refuse them): every window to the
        // right of the end reads zeros there, whatever the previous tile read.
        const std::string folder = root / "rio1";
        const auto pixels = static_cast<uintmax_t>(c.lines) * static_cast<uintmax_t>(c.columns);
        fs::resize_file(folder + "/cauce.raw", pixels - static_cast<uintmax_t>(c.columns) - c.columns / 2);
        fs::resize_file(folder + "/valle_m4.raw", 4 * pixels - static_cast<uintmax_t>(c.columns) * 4 - 2 * c.columns - 1);
        const ResultPair short_expected = console_run(root, scenario.answers.text());
        EXPECT_EQ(short_expected.warnings.size(), c.flavour == Flavour::far_boundary ? 3u : 2u);
        expect_same_result(root, {"--answers", file, "--tile", "50"}, short_expected,
                           "short files, seed " + std::to_string(c.seed));
    }
}

// The benchmark's scenarios, the dense floodplain and the sparse river, at 1024 x 1024.
TEST(TilesAgainstConsole, FloodplainDenseAndSparse) {
    for (const Scenario& scenario : {make_floodplain(1024, 1024), make_sparse_river(1024, 1024)}) {
        TempFolder root;
        fs::create_directories(root / "rio");
        ASSERT_TRUE(write_scenario_files(scenario, root / "rio"));
        const std::string answers = scenario_answers(scenario, "rio", "resultado");
        const ResultPair expected = console_run(root, answers, "rio");
        const std::string file = write_answers(root, answers);
        expect_same_result(root, {"--answers", file, "--tile", "400", "--threads", "2"}, expected, scenario.name,
                           "rio");
    }
}

// The answers as options, alone or over an answers file; input files shorter
// than their descriptors (read as zeros past their end, and told once each);
// a raster without lines.
TEST(TilesAgainstConsole, OptionsShortFilesAndAnEmptyRaster) {
    TempFolder root;
    const TileScenario scenario = make_scenario(21, 31, 43, Flavour::blobs, true);
    scenario.write(root.path().string());
    const ResultPair expected = console_run(root, scenario.answers.text());
    const RunAnswers& a = scenario.answers;
    expect_same_result(root,
                       {"--folder", "rio1", "--slope", "valle", "--railing", "bar", "--zone", "cauce", "--contour",
                        "curva", "--perimeter", "lago", "--result", "resultado", "--tones",
                        a.tono_cauce + "," + a.tono_bar + "," + a.tono_lim + "," + a.tono_perim, "--heights",
                        a.alti_bar + "," + a.alti_lim, "--tile", "10"},
                       expected, "options");
    RunAnswers other = a;
    other.result = "otro";
    other.tono_bar = "77";
    expect_same_result(root,
                       {"--answers", write_answers(root, other.text()), "--result", "resultado", "--tones",
                        a.tono_cauce + "," + a.tono_bar + "," + a.tono_lim + "," + a.tono_perim},
                       expected, "options over answers");

    // The slope model cut inside a pixel, the zone mask a line and a half
    // short, the railing cut to half of itself.
    const std::string folder = root / "rio1";
    fs::resize_file(folder + "/valle_m4.raw", 4 * 31 * 43 - 6);
    fs::resize_file(folder + "/cauce.raw", 43 * 29 + 20);
    fs::resize_file(folder + "/bar.raw", 43 * 31 / 2 + 1);
    const ResultPair short_expected = console_run(root, scenario.answers.text());
    ASSERT_EQ(short_expected.warnings.size(), 3u);
    expect_same_result(root, {"--answers", write_answers(root, a.text()), "--tile", "8"}, short_expected,
                       "short files");

    TempFolder empty;
    const TileScenario none = make_scenario(22, 0, 9, Flavour::blobs, false);
    none.write(empty.path().string());
    const ResultPair empty_expected = console_run(empty, none.answers.text());
    EXPECT_EQ(empty_expected.descriptor, "0\n9\n4\n1000000\n0\n10\n");
    expect_same_result(empty, {"--answers", write_answers(empty, none.answers.text())}, empty_expected, "no lines");
}

// What the console program refuses, refused with a message on standard error
// and status 1; nothing is created and the previous result stays as it was.
TEST(TilesRefuses, BadInputsAndCommandLines) {
    TempFolder root;
    const TileScenario scenario = make_scenario(31, 12, 15, Flavour::blobs, true);
    scenario.write(root.path().string());
    const std::string folder = root / "rio1";
    write_file(folder + "/resultado_m4.raw", "previous");
    write_file(folder + "/resultado_m4.txt", "previous descriptor");
    const std::vector<std::string> files = names_in(folder);
    const std::string answers = write_answers(root, scenario.answers.text());
    RunAnswers slope_as_result = scenario.answers;
    slope_as_result.result = "valle";
    RunAnswers no_water = scenario.answers;
    no_water.presence = "0";
    RunAnswers short_answers = scenario.answers;
    short_answers.tono_perim = "";
    std::string truncated = short_answers.text();
    truncated.pop_back();

    struct Case {
        std::function<void()> prepare;  // breaks the scenario
        std::vector<std::string> words;
        std::string message;
        std::function<void()> restore;
        std::map<std::string, std::string> env = {};
    };
    // A call that fails on the result's files (tests/faults/shim).
    const auto fault = [](const std::string& what) {
        const char* asan = std::getenv("ASAN_OPTIONS");  // the shim comes before the sanitizer's runtime
        return std::map<std::string, std::string>{
            {"LD_PRELOAD", IO_FAULT_SHIM},
            {"IO_FAULT", what},
            {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"}};
    };
    const auto errno_fault = [&](const std::string& what, int error) {
        std::map<std::string, std::string> env = fault(what);
        env["IO_FAULT_ERRNO"] = std::to_string(error);
        return env;
    };
    const std::string mask_descriptor = read_file(folder + "/bar.txt");
    AtomicOutputs other_run;
    const Case cases[] = {
        {[&] { fs::rename(folder + "/valle_m4.raw", folder + "/x"); }, {"--answers", answers},
         "No hay Fila " + folder + "/valle_m4.raw", [&] { fs::rename(folder + "/x", folder + "/valle_m4.raw"); }},
        {[&] { fs::rename(folder + "/lago.txt", folder + "/x"); }, {"--answers", answers},
         "No hay Fila " + folder + "/lago.txt", [&] { fs::rename(folder + "/x", folder + "/lago.txt"); }},
        {[&] { write_file(folder + "/bar.txt", "-12\n15\n"); }, {"--answers", answers},
         "El descriptor " + folder + "/bar.txt no empieza con dos enteros decimales no negativos (lineas y columnas) \n",
         [&] { write_file(folder + "/bar.txt", mask_descriptor); }},
        {[&] { fs::resize_file(folder + "/bar.raw", 3); }, {"--answers", answers},
         "El archivo " + folder + "/bar.raw solo tiene 3 de los 180 bytes que indica su descriptor: no se puede usar \n",
         [&] { scenario.write(root.path().string()); }},
        // A descriptor that is a FIFO is refused, not waited on.
        {[&] {
             fs::rename(folder + "/curva.txt", folder + "/x");
             ASSERT_EQ(mkfifo((folder + "/curva.txt").c_str(), 0600), 0);
         },
         {"--answers", answers}, "El archivo " + folder + "/curva.txt no es un archivo regular: no se puede leer \n",
         [&] {
             fs::remove(folder + "/curva.txt");
             fs::rename(folder + "/x", folder + "/curva.txt");
         }},
        {[&] { write_file(folder + "/cauce.txt", "12\n16\n"); }, {"--answers", answers},
         "la imagen de la mascara del cauce no tiene el mismo tamano que la imagen de la pendiente del rio",
         [&] { write_file(folder + "/cauce.txt", mask_descriptor); }},
        {[] {}, {"--answers", write_answers(root, slope_as_result.text(), "clash.txt")},
         "El archivo " + folder + "/valle_m4.raw es uno de los archivos de entrada", [] {}},
        // Another run writing the result; a result file that is a folder.
        {[&] { ASSERT_EQ(other_run.add(folder + "/resultado_m4.raw"), AtomicOutputs::Claim::ok); },
         {"--answers", answers}, "El archivo " + folder + "/resultado_m4.raw esta en uso por otra ejecucion del programa",
         [&] { other_run.abandon(); }},
        {[&] {
             fs::rename(folder + "/resultado_m4.txt", folder + "/x");
             fs::create_directory(folder + "/resultado_m4.txt");
         },
         {"--answers", answers},
         "El archivo " + folder + "/resultado_m4.txt no es un archivo regular: el resultado necesita otro nombre",
         [&] {
             fs::remove(folder + "/resultado_m4.txt");
             fs::rename(folder + "/x", folder + "/resultado_m4.txt");
         }},
        // The descriptor's rename fails after the raster's: that one is undone.
        {[] {}, {"--answers", answers},
         "no se pudo renombrar " + folder + "/.resultado_m4.txt.lorvantide-tmp/resultado_m4.txt a " + folder +
             "/resultado_m4.txt: Input/output error: no se escribio ningun resultado y el anterior queda como estaba",
         [] {}, fault("rename:1:*tmp/resultado_m4.txt")},
        // An input that may not be read, or that the disk fails to open, is not said to be missing.
        {[] {}, {"--answers", answers}, "No se puede leer el archivo " + folder + "/valle_m4.raw: no tiene permiso",
         [] {}, fault("open:1:*/valle_m4.raw")},
        {[] {}, {"--answers", answers}, "No se puede abrir el archivo " + folder + "/bar.txt: Input/output error",
         [] {}, errno_fault("open:1:*/bar.txt", EIO)},
        // A read that fails in the middle of the tiles is no end of file.
        {[] {}, {"--answers", answers}, "no se pudo leer el archivo " + folder + "/cauce.raw: Input/output error",
         [] {}, fault("pread:3:*/cauce.raw")},
        // Result names the console refuses.
        {[] {}, {"--answers", answers, "--result", "a\nb"}, "nombre no valido para --result", [] {}},
        {[] {}, {"--answers", answers, "--result", "\x1b[2J"}, "nombre no valido para --result", [] {}},
        {[] {}, {"--answers", answers, "--result", "\x01"}, "nombre no valido para --result", [] {}},
        {[] {}, {"--answers", answers, "--result", ""}, "nombre no valido para --result", [] {}},
        // The raster written but not made durable: nothing is put in place.
        {[] {}, {"--answers", answers},
         "No se pudo escribir completo el archivo " + folder + "/resultado_m4.raw: Input/output error \n", [] {},
         fault("fsync:1:*resultado_m4.raw*")},
        {[] {}, {"--answers", write_answers(root, truncated, "short.txt")}, "las respuestas se acaban", [] {}},
        {[] {}, {"--answers", root / "nowhere.txt"}, "No hay Fila " + root / "nowhere.txt", [] {}},
        {[] {}, {"--folder", "rio1"}, "falta la opcion --slope", [] {}},
        {[] {}, {"--answers", answers, "--tile", "0"}, "valor no valido para --tile", [] {}},
        {[] {}, {"--answers", answers, "--memory", "12Q"}, "valor no valido para --memory", [] {}},
        {[] {}, {"--answers", answers, "--memory", "10M"}, "no cabe ni una tesela", [] {}},
        {[] {}, {"--answers", answers, "--tones", "1,2"}, "--tones lleva tres o cuatro tonos", [] {}},
        {[] {}, {"--answers", write_answers(root, no_water.text(), "dry.txt"), "--perimeter", "lago"},
         "--tones lleva tambien el tono del perimetro", [] {}},
        {[] {}, {"--answers", answers, "--colour", "red"}, "opcion desconocida: --colour", [] {}},
    };
    for (const Case& c : cases) {
        c.prepare();
        std::vector<std::string> words = c.words;
        words.insert(words.end(), {"--images", root.path().string()});
        const BinaryRun run = run_child(child_request(tiles_binary(), words, root.path().string(), "", c.env));
        c.restore();
        const std::string label = c.words.back();
        EXPECT_EQ(run.exit_status, 1) << label;
        EXPECT_EQ(run.err.rfind("\n lorvantide-tiles: ", 0), 0u) << label << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << label << "\n" << run.err;
        EXPECT_EQ(run.err.find('\n', 1), run.err.size() - 1) << label << "\n" << run.err;  // one line
        EXPECT_EQ(names_in(folder), files) << label;
        EXPECT_EQ(read_file(folder + "/resultado_m4.raw"), "previous") << label;
        EXPECT_EQ(read_file(folder + "/resultado_m4.txt"), "previous descriptor") << label;
    }
}

// --plan, --help and --version with a standard output that cannot be
// written: a message, and status 1.
TEST(TilesRefuses, AStandardOutputThatCannotBeWritten) {
    TempFolder root;
    const TileScenario scenario = make_scenario(31, 12, 15, Flavour::blobs, false);
    scenario.write(root.path().string());
    const std::string answers = write_answers(root, scenario.answers.text());
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--plan", "--answers", answers, "--images", root.path().string()},
          std::vector<std::string>{"--help"}, std::vector<std::string>{"--version"}}) {
        std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" > /dev/full", tiles_binary()};
        shell.insert(shell.end(), words.begin(), words.end());
        const BinaryRun run = run_child(child_request("/bin/sh", shell, root.path().string()));
        EXPECT_EQ(run.exit_status, 1) << words[0];
        EXPECT_EQ(run.err, "\n lorvantide-tiles: no se puede escribir en la salida estandar: No space left on device \n");
    }
}

// Every rename, link, unlink, fsync, fallocate, pwrite... of a run failed in
// turn, then every rename, link, unlink and fsync killed in turn: the whole
// earlier pair or the whole new one is on disk, and after a kill the next run
// makes the pair whole before it starts, and says so.
TEST(TilesResult, NoFailingOrKilledCallLeavesAMixedPair) {
    TempFolder root;
    const TileScenario scenario = make_scenario(7, 12, 15, Flavour::blobs, false);
    scenario.write(root.path().string());
    const std::string answers = write_answers(root, scenario.answers.text());
    const std::string folder = root / "rio1";
    const std::vector<std::string> words = {"--answers", answers, "--images", root.path().string(), "--tile", "5"};
    const auto run = [&](const std::map<std::string, std::string>& env) {
        return run_child(child_request(tiles_binary(), words, root.path().string(), "", env));
    };
    ASSERT_EQ(run({}).exit_status, 0);
    const std::string raster = read_file(folder + "/resultado_m4.raw");
    const std::string descriptor = read_file(folder + "/resultado_m4.txt");
    const auto start = [&] {
        write_file(folder + "/resultado_m4.raw", "previous");
        write_file(folder + "/resultado_m4.txt", "previous descriptor");
    };
    const auto whole = [&](bool& fresh) {
        const std::string got[2] = {read_file(folder + "/resultado_m4.raw"), read_file(folder + "/resultado_m4.txt")};
        fresh = got[0] == raster && got[1] == descriptor;
        return fresh || (got[0] == "previous" && got[1] == "previous descriptor");
    };
    for (const std::string kind : {"rename", "link", "unlink", "fsync", "fallocate", "pwrite", "close", "mkdir", "flock"}) {
        const int calls = sweep_calls(IO_FAULT_SHIM, kind, "*", 0, [&](const std::string& what, const Environment& env) {
            start();
            const BinaryRun faulty = run(env);
            bool fresh = false;
            EXPECT_TRUE(whole(fresh)) << what;
            EXPECT_EQ(faulty.exit_status == 0, fresh && faulty.err.empty()) << what << faulty.err;
        });
        EXPECT_GE(calls, kind == "rename" ? 4 : 1) << kind;
    }
    for (const std::string kind : {"rename", "link", "unlink", "fsync"}) {
        sweep_calls(IO_FAULT_SHIM, kind, "*", SIGKILL, [&](const std::string& what, const Environment& env) {
            start();
            run(env);
            bool fresh = false;
            const bool mixed_before = !whole(fresh);
            // The next run stops at its first tile, its pair claimed (and made whole).
            const BinaryRun next = run(fault_environment(IO_FAULT_SHIM, "pwrite:1:*"));
            EXPECT_EQ(next.exit_status, 1) << what;
            EXPECT_EQ(next.err.find("dejado a medias " + folder + "/resultado_m4.raw y " + folder +
                                    "/resultado_m4.txt: se restauraron los archivos anteriores") != std::string::npos,
                      mixed_before)
                << what << next.err;
            EXPECT_TRUE(whole(fresh)) << what;
            EXPECT_EQ(hidden_names(folder), std::vector<std::string>{}) << what;
        });
    }
}

// Every problem of an input in the console program's words, on one line: its
// text with the framing blanks and line ends dropped and an inner line end a blank.
TEST(TilesRefuses, InTheConsoleProgramsWordsOnOneLine) {
    using Kind = InputProblem::Kind;
    for (const Kind kind : {Kind::missing, Kind::not_regular, Kind::denied, Kind::unopenable, Kind::unreadable,
                            Kind::bad_descriptor, Kind::raw_too_short, Kind::size_differs})
        for (const Role role : {Role::railing, Role::zone, Role::contour, Role::perimeter}) {
            const InputProblem problem{kind, "/imagenes/rio1/bar.raw", role, 12, 4800, EIO};
            ConsoleCapture io("");
            say_problem(io.console, problem);
            std::string line;
            for (const char c : io.printed())
                if ((c != ' ' && c != '\n') || (!line.empty() && line.back() != ' ')) line += c == '\n' ? ' ' : c;
            while (!line.empty() && line.back() == ' ') line.pop_back();
            EXPECT_EQ(input_error(problem).what(), line);
        }
}

// A read that fails in the middle of the tiles (the slope model is a
// directory), and the signals that end a run: the temporaries go, the
// previous result stays.
TEST(TilesResult, FailuresAndSignalsLeaveThePreviousResult) {
    TempFolder root;
    const Floodplain floodplain(1024, 1024);
    floodplain.write_files(root / "rio");
    const std::string answers = write_answers(root, floodplain.answers("rio"));
    const std::string folder = root / "rio";
    write_file(folder + "/resultado_m4.raw", "previous");
    write_file(folder + "/resultado_m4.txt", "previous descriptor");
    const std::vector<std::string> files = names_in(folder);
    const std::vector<std::string> words = {"--answers", answers, "--images", root.path().string(), "--tile", "16"};

    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        StartedChild child(child_request(tiles_binary(), words, root.path().string()));
        // Once both temporaries exist, the tiles are under way (4096 of them: long enough).
        for (int wait = 0; wait < 2000 && names_in(folder).size() < files.size() + 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(names_in(folder).size(), files.size() + 2);
        kill(child.pid(), signal_number);
        const BinaryRun run = child.wait();
        EXPECT_EQ(run.exit_status, 128 + signal_number) << run.err;
        EXPECT_EQ(names_in(folder), files) << signal_number;
        EXPECT_EQ(read_file(folder + "/resultado_m4.raw"), "previous");
    }

    fs::rename(folder + "/valle_m4.raw", folder + "/valle.keep");
    fs::create_directory(folder + "/valle_m4.raw");
    const BinaryRun run = run_child(child_request(tiles_binary(), words, root.path().string()));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("El archivo " + folder + "/valle_m4.raw no es un archivo regular"), std::string::npos)
        << run.err;
    fs::remove(folder + "/valle_m4.raw");
    fs::rename(folder + "/valle.keep", folder + "/valle_m4.raw");
    EXPECT_EQ(names_in(folder), files);
    EXPECT_EQ(read_file(folder + "/resultado_m4.txt"), "previous descriptor");

    // Putting the result in place (tests/faults/shim): an owner that cannot
    // be kept is a notice; renames the disk may not keep are a failure that
    // says the new result is in place.
    struct Fault {
        std::string fault;
        int exit_status;
        std::string message;
    };
    const Fault faults[] = {
        {"chown:1:*resultado_m4*", 0,
         "\n Aviso: no se pudo conservar el dueno del archivo " + folder +
             "/resultado_m4.raw: ahora es de este usuario \n"},
        {"fsync:1:*/rio", 1,
         "No se pudo asegurar en el disco el archivo " + folder + "/resultado_m4.raw: " + std::strerror(EIO) +
             " (el resultado esta en su sitio, pero una caida del sistema podria deshacerlo)"},
    };
    const char* asan = std::getenv("ASAN_OPTIONS");
    for (const Fault& f : faults) {
        write_file(folder + "/resultado_m4.raw", "previous");
        const std::map<std::string, std::string> env = {
            {"LD_PRELOAD", IO_FAULT_SHIM},
            {"IO_FAULT", f.fault},
            {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"}};
        const std::vector<std::string> whole = {"--answers", answers, "--images", root.path().string()};
        const BinaryRun faulty = run_child(child_request(tiles_binary(), whole, root.path().string(), "", env));
        EXPECT_EQ(faulty.exit_status, f.exit_status) << f.fault;
        EXPECT_NE(faulty.err.find(f.message), std::string::npos) << faulty.err;
        EXPECT_EQ(read_file(folder + "/resultado_m4.raw").size(), 4u * 1024u * 1024u) << f.fault;
        EXPECT_EQ(names_in(folder), files) << f.fault;
    }
}

namespace {

// A scenario's rasters in memory as a window source, and a result raster in
// memory as a window sink.
class ScenarioSource final : public WindowSource {
public:
    explicit ScenarioSource(const TileScenario& scenario) : s_(scenario) {}
    int32_t lines() const override { return s_.lines; }
    int32_t columns() const override { return s_.columns; }
    bool water_bodies() const override { return s_.answers.presence == "1"; }
    void read(const RasterRect& rect, const WindowRows& rows) override {
        for (int32_t a = 0; a < rect.lines; ++a)
            for (int32_t b = 0; b < rect.columns; ++b) {
                const auto k = static_cast<std::size_t>(rect.line + a) * static_cast<std::size_t>(s_.columns) +
                               static_cast<std::size_t>(rect.column + b);
                if (rows.slope != nullptr) rows.slope[a][b] = s_.slope[k];
                if (rows.railing != nullptr) rows.railing[a][b] = s_.railing[k];
                if (rows.zone != nullptr) rows.zone[a][b] = s_.zone[k];
                if (rows.contour != nullptr) rows.contour[a][b] = s_.contour[k];
                if (rows.perimeter != nullptr) rows.perimeter[a][b] = s_.perimeter[k];
            }
    }

private:
    const TileScenario& s_;
};

struct RasterSink final : public WindowSink {
    explicit RasterSink(int32_t lines, int32_t columns)
        : columns(columns), rounded(static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns), -1) {}
    void write_core(const RasterRect& core, const CoreValues& values) override {
        for (int32_t a = 0; a < core.lines; ++a)
            for (int32_t b = 0; b < core.columns; ++b)
                rounded[static_cast<std::size_t>(core.line + a) * static_cast<std::size_t>(columns) +
                        static_cast<std::size_t>(core.column + b)] =
                    values.rounded[static_cast<std::size_t>(a) * static_cast<std::size_t>(core.columns) +
                                   static_cast<std::size_t>(b)];
    }
    int32_t columns;
    std::vector<int32_t> rounded;
};

class NoProgress final : public ChannelProgress {};

ChannelParameters parameters_of(const TileScenario& scenario) {
    Job job;
    std::istringstream answers(scenario.answers.text());
    read_answers(answers, job);
    return job.parameters;
}

// Every tile of `plan` with the halos of `reaches`, checked or not; the
// result raster and the totals.
std::pair<std::vector<int32_t>, CoreTotals> windowed(const TileScenario& scenario, const TilePlan& plan,
                                                     const ReachMap& reaches, bool check) {
    ScenarioSource source(scenario);
    RasterSink sink(scenario.lines, scenario.columns);
    const WindowedJob job{source, sink, parameters_of(scenario), plan, reaches, uint64_t{1} << 30, check};
    CoreTotals totals;
    TileScratch scratch;
    NoProgress progress;
    for (int64_t k = 0; k < plan.count(); ++k) totals.fold(run_window_tile(job, k, 2, progress, scratch));
    return {sink.rounded, totals};
}

}  // namespace

// The reach map is an estimate that the windowed run checks: a map whose
// reaches are far too small gives other bytes when the check is off (so the
// halo really matters), and the whole raster's bytes when it is on, the
// tiles whose searches went beyond their window being computed again. And
// the measured map gives the whole raster's bytes, widening no tile here.
TEST(WindowedRun, AReachTooSmallWouldChangeTheBytesAndIsCaught) {
    for (const Flavour flavour : {Flavour::blobs, Flavour::far_boundary, Flavour::no_contour}) {
        const TileScenario scenario = make_scenario(21, 90, 80, flavour, flavour == Flavour::blobs);
        const ChannelParameters parameters = parameters_of(scenario);
        const auto whole = windowed(scenario, TilePlan(90, 80, 90, 80), ReachMap::full(90, 80), true);
        const TilePlan plan(90, 80, 9, 9);
        ScenarioSource source(scenario);
        const ReachMap measured = ReachMap::measure(source, parameters, 2, nullptr);
        EXPECT_EQ(windowed(scenario, plan, measured, true).first, whole.first);
        // Every block holding channel pixels told to reach 1 pixel only.
        std::string bytes = measured.to_bytes();
        for (std::size_t at = 4 * sizeof(int64_t); at + 1 < bytes.size(); at += 2)
            if (bytes[at] != 0 || bytes[at + 1] != 0) bytes[at] = 1, bytes[at + 1] = 0;
        const ReachMap narrow = ReachMap::from_bytes(bytes);
        const auto unchecked = windowed(scenario, plan, narrow, false);
        EXPECT_NE(unchecked.first, whole.first) << static_cast<int>(flavour);
        const auto checked = windowed(scenario, plan, narrow, true);
        EXPECT_EQ(checked.first, whole.first) << static_cast<int>(flavour);
        EXPECT_EQ(checked.second.min, whole.second.min);
        EXPECT_EQ(checked.second.max, whole.second.max);
        EXPECT_EQ(checked.second.contour_misses, whole.second.contour_misses);
        EXPECT_EQ(checked.second.boundary_misses, whole.second.boundary_misses);
        EXPECT_GT(checked.second.widened_tiles, 0);
        // A search without a hit needs the full halo: the measured map gives it.
        if (flavour == Flavour::no_contour) {
            EXPECT_EQ(measured.largest(), kLargestRing);
        }
    }
}

// The resident set stays within --memory, plus a few tens of megabytes, on
// a raster whose whole grids would take several times that.
TEST(TilesMemory, ResidentSetWithinTheBound) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine are no measure of the program's";
#endif
    TempFolder root;
    const int32_t lines = 64, columns = 300000;  // the console run's grids: about 480 MB
    const Floodplain floodplain(lines, columns);
    floodplain.write_files(root / "rio");
    const std::string answers = write_answers(root, floodplain.answers("rio"));
    const uint64_t memory = uint64_t{120} << 20;
    const BinaryRun run = run_child(child_request(
        tiles_binary(), {"--answers", answers, "--images", root.path().string(), "--memory", "120M", "--threads", "2"},
        root.path().string()));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const uint64_t resident = static_cast<uint64_t>(run.max_rss_kib) * 1024;
    EXPECT_LE(resident, memory + (uint64_t{32} << 20)) << resident;
    // And the memory was used: the tiles were not made needlessly small.
    EXPECT_GE(resident, memory / 2) << resident;
}
