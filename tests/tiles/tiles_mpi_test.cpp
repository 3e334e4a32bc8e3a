// lorvantide-tiles under mpirun: the console program's result pair, byte for
// byte, on one, two and three processes; a failure on one process fails the
// whole run and leaves no temporary. Built only where MPI was found.
#ifdef LORVANTIDE_MPIEXEC

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "tests/scenarios/floodplain.hpp"
#include "tests/support/temp_folder.hpp"
#include "tests/support/run_binary.hpp"
#include "tests/tiles/tile_scenarios.hpp"

namespace {

namespace fs = std::filesystem;

// mpirun -np `processes` lorvantide-tiles `words`, or, with `second`, rank 0
// running `words` and the other ranks `second` (MPI's multiple-program form);
// `env` added to the environment of all.
ChildRequest mpirun_request(int processes, const std::vector<std::string>& words, const std::string& work_dir,
                            const std::vector<std::string>& second = {}, std::map<std::string, std::string> env = {}) {
    std::vector<std::string> arguments = {"--oversubscribe", "--allow-run-as-root", "-np",
                                          second.empty() ? std::to_string(processes) : "1", tiles_binary()};
    arguments.insert(arguments.end(), words.begin(), words.end());
    if (!second.empty()) {
        arguments.insert(arguments.end(), {":", "-np", std::to_string(processes - 1), tiles_binary()});
        arguments.insert(arguments.end(), second.begin(), second.end());
    }
#if defined(__SANITIZE_ADDRESS__)
    // Open MPI's run-time does not give back all it allocates (strings of
    // its components, unloaded at MPI_Finalize): under AddressSanitizer the
    // processes it runs are checked for every memory error but leaks.
    const char* options = std::getenv("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = std::string(options != nullptr ? options : "") + ":detect_leaks=0";
#endif
    // A preloaded library (the fault shim) comes before the sanitizer's runtime.
    if (env.count("LD_PRELOAD") != 0) env["ASAN_OPTIONS"] += ":verify_asan_link_order=0";
    return child_request(LORVANTIDE_MPIEXEC, arguments, work_dir, "", env);
}

BinaryRun mpirun(int processes, const std::vector<std::string>& words, const std::string& work_dir,
                 const std::vector<std::string>& second = {}, std::map<std::string, std::string> env = {}) {
    return run_child(mpirun_request(processes, words, work_dir, second, std::move(env)));
}

// The processes mpirun started (its children), in the order of their numbers.
std::vector<pid_t> children_of(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(parent) + "/task")) {
        std::ifstream list(task.path() / "children");
        for (pid_t child = 0; list >> child;) children.push_back(child);
    }
    std::sort(children.begin(), children.end());
    return children;
}

}  // namespace

TEST(TilesMpi, SameResultOnOneTwoAndThreeProcesses) {
    struct Case {
        const char* what;
        std::function<std::string(const TempFolder&)> write;  // gives the answers
        std::string folder;
        std::vector<std::string> tile;
    };
    auto small = [](uint32_t seed, int32_t lines, int32_t columns, Flavour flavour, bool water) {
        return [=](const TempFolder& root) {
            const TileScenario s = make_scenario(seed, lines, columns, flavour, water);
            s.write(root.path().string());
            return s.answers.text();
        };
    };
    const Case cases[] = {
        {"blobs with water bodies", small(41, 33, 47, Flavour::blobs, true), "rio1", {"--tile", "9"}},
        {"windows smaller than the raster", small(42, 5, 4100, Flavour::far_boundary, false), "rio1",
         {"--tile", "300"}},
        {"floodplain 1024",
         [](const TempFolder& root) {
             const Floodplain floodplain(1024, 1024);
             floodplain.write_files(root / "rio");
             return floodplain.answers("rio");
         },
         "rio", {"--tile", "400"}},
    };
    for (const Case& c : cases) {
        TempFolder root;
        const std::string answers = c.write(root);
        const ResultPair expected = console_run(root, answers, c.folder);
        const std::vector<std::string> files = names_in(root / c.folder);
        const std::string file = write_answers(root, answers);
        for (const int processes : {1, 2, 3}) {
            std::vector<std::string> words = {"--answers", file, "--images", root.path().string(), "--threads", "1"};
            words.insert(words.end(), c.tile.begin(), c.tile.end());
            const BinaryRun run = mpirun(processes, words, root.path().string());
            expect_result_and_remove(root, c.folder, run, expected, files,
                                     std::string(c.what) + ", " + std::to_string(processes) + " processes");
        }
    }
}

// The other processes see a slope model that is not a file (a directory) or
// none at all, or cannot make what they wrote into the result reach the disk
// (its fsync fails): they fail, and so does the whole run, on rank 0's side too.
TEST(TilesMpi, AFailureOnOneProcessFailsTheRun) {
    TempFolder root;
    const TileScenario s = make_scenario(43, 300, 300, Flavour::blobs, true);
    s.write(root.path().string());
    s.write((root.path() / "broken").string());
    const std::string broken = root / "broken/rio1";
    fs::remove(broken + "/valle_m4.raw");
    fs::create_directory(broken + "/valle_m4.raw");
    write_file(root / "answers.txt", s.answers.text());
    const std::string folder = root / "rio1";
    write_file(folder + "/resultado_m4.raw", "previous");
    write_file(folder + "/resultado_m4.txt", "previous descriptor");
    const std::vector<std::string> files = names_in(folder);
    const std::vector<std::string> words = {"--answers", root / "answers.txt", "--tile", "30", "--threads", "1"};

    struct Case {
        std::string images;  // the other processes' image root
        std::string message;
        std::map<std::string, std::string> env = {};
    };
    const Case cases[] = {
        {root / "broken", "El archivo " + broken + "/valle_m4.raw no es un archivo regular"},
        {root / "nowhere", "No hay Fila " + root / "nowhere/rio1/valle_m4.raw"},
        {root.path().string(),
         "No se pudo escribir completo el archivo " + folder + "/resultado_m4.raw: Input/output error",
         {{"LD_PRELOAD", IO_FAULT_SHIM}, {"IO_FAULT", "fsync:1:*resultado_m4.raw*"}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> first = words, others = words;
        first.insert(first.end(), {"--images", root.path().string()});
        others.insert(others.end(), {"--images", c.images});
        const BinaryRun run = mpirun(3, first, root.path().string(), others, c.env);
        EXPECT_NE(run.exit_status, 0) << c.images;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("lorvantide-tiles (proceso "), std::string::npos) << run.err;
        EXPECT_EQ(names_in(folder), files) << c.images;
        EXPECT_EQ(read_file(folder + "/resultado_m4.raw"), "previous");
        EXPECT_EQ(read_file(folder + "/resultado_m4.txt"), "previous descriptor");
    }
}

// A process of the run killed outright, and the signals a user sends to
// mpirun: the run fails, the other processes are ended and the previous
// result stays; the next run takes over what a killed process left and writes
// the whole result.
TEST(TilesMpi, AKilledProcessOrASignalToMpirunLeavesThePreviousResult) {
    TempFolder root;
    const Floodplain floodplain(1024, 1024);
    floodplain.write_files(root / "rio");
    const std::string answers = floodplain.answers("rio");
    const ResultPair expected = console_run(root, answers, "rio");
    const std::string file = write_answers(root, answers);
    const std::string folder = root / "rio";
    write_file(folder + "/resultado_m4.raw", "previous");
    write_file(folder + "/resultado_m4.txt", "previous descriptor");
    const std::vector<std::string> files = names_in(folder);
    const std::vector<std::string> words = {"--answers", file, "--images", root.path().string(), "--tile", "16",
                                            "--threads", "1"};
    const struct {
        const char* what;
        int signal_number;
        bool to_a_process;  // else to mpirun
    } cases[] = {{"SIGKILL to the last process", SIGKILL, true},
                 {"SIGTERM to mpirun", SIGTERM, false},
                 {"SIGINT to mpirun", SIGINT, false}};
    for (const auto& c : cases) {
        StartedChild run(mpirun_request(2, words, root.path().string()));
        // Once both temporaries exist, the tiles are under way (4096 of them: long enough).
        for (int wait = 0; wait < 4000 && names_in(folder).size() < files.size() + 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::vector<pid_t> processes = children_of(run.pid());
        ASSERT_EQ(processes.size(), 2u) << c.what;
        kill(c.to_a_process ? processes.back() : run.pid(), c.signal_number);
        const BinaryRun ended = run.wait();
        EXPECT_NE(ended.exit_status, 0) << c.what;
        // mpirun ends the other processes with SIGTERM and, soon after, SIGKILL: a
        // process killed before its clean-up leaves its temporary folder, which
        // the next run takes over and empties (checked below). Nothing else.
        for (const std::string& name : names_in(folder)) {
            if (std::find(files.begin(), files.end(), name) == files.end()) {
                EXPECT_EQ(name.front(), '.') << c.what << ": " << name << ended.err;
            }
        }
        EXPECT_EQ(read_file(folder + "/resultado_m4.raw"), "previous") << c.what;
        EXPECT_EQ(read_file(folder + "/resultado_m4.txt"), "previous descriptor") << c.what;
    }
    fs::remove(folder + "/resultado_m4.raw");
    fs::remove(folder + "/resultado_m4.txt");
    std::vector<std::string> inputs = files;
    inputs.erase(std::remove_if(inputs.begin(), inputs.end(),
                                [](const std::string& name) { return name.rfind("resultado_m4.", 0) == 0; }),
                 inputs.end());
    const BinaryRun next = mpirun(2, words, root.path().string());
    expect_result_and_remove(root, "rio", next, expected, inputs, "the next run");
}

#endif
