// Benchmark of the ring search and of whole runs on a dense floodplain and on
// a sparse river.
//
//   floodplain_bench [size | lines columns] [--scenario dense|sparse|both] [--runs N] [--searches N]
//   floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER
//
// Generates each scenario in memory (default 4096 x 4096), prints its channel
// share and distances, checks the ring searches against the literal ones,
// writes its raster pairs to a temporary folder and runs the program's stages
// on them in this process, stage by stage, against the I/O floor measured
// before each run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.hpp"
#include "floodplain_scenario.hpp"
#include "inprocess_run.hpp"
#include "scenario_stats.hpp"
#include "search_check.hpp"
#include "sparse_scenario.hpp"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr const char* kUsage =
    "usage: floodplain_bench [size | lines columns] [--scenario dense|sparse|both] [--runs N] [--searches N]\n"
    "       floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER\n";

struct Options {
    bool valid = true;
    int32_t nb_lig = 4096, nb_col = 4096;
    std::vector<std::string> scenarios = {"dense", "sparse"};
    int runs = 5;
    std::size_t searches = 1000;  // literal comparisons; 0: no search check
    std::string write_only;       // folder: write the scenario's raster pairs and answers there and stop
};

bool whole_number(const std::string& a) {
    return !a.empty() && a.size() < 10 && a.find_first_not_of("0123456789") == std::string::npos;
}

// A count option's value, or -1.
int count_of(const std::string& value) { return whole_number(value) ? std::atoi(value.c_str()) : -1; }

Options parse(int argc, char** argv) {
    Options o;
    std::vector<int32_t> sizes;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const std::string value = k + 1 < argc ? argv[k + 1] : "";
        const bool takes_value = a == "--scenario" || a == "--runs" || a == "--searches" || a == "--write-only";
        if (takes_value && k + 1 >= argc) {
            o.valid = false;
            break;
        }
        if (takes_value) ++k;
        if (a == "--scenario" && (value == "dense" || value == "sparse"))
            o.scenarios = {value};
        else if (a == "--scenario" && value == "both")
            o.scenarios = {"dense", "sparse"};
        else if (a == "--runs")
            o.runs = count_of(value);
        else if (a == "--searches" && count_of(value) >= 0)
            o.searches = static_cast<std::size_t>(count_of(value));
        else if (a == "--write-only")
            o.write_only = value;
        else if (whole_number(a) && std::atoi(a.c_str()) > 0)
            sizes.push_back(std::atoi(a.c_str()));
        else
            o.valid = false;
    }
    if (sizes.size() > 2 || o.runs < 1) o.valid = false;
    if (!o.write_only.empty() && o.scenarios.size() != 1) o.scenarios = {"dense"};
    if (sizes.size() == 1) o.nb_lig = o.nb_col = sizes[0];
    if (sizes.size() == 2) {
        o.nb_lig = sizes[0];
        o.nb_col = sizes[1];
    }
    return o;
}

Scenario generate(const std::string& name, int32_t nb_lig, int32_t nb_col) {
    return name == "sparse" ? make_sparse_river(nb_lig, nb_col) : make_floodplain(nb_lig, nb_col);
}

// The raster pairs and answers in FOLDER, its own name as the sub-folder, so
// that LORVANTIDE_IMAGES set to its parent runs the program on them.
int write_only(const Options& o) {
    const Scenario s = generate(o.scenarios[0], o.nb_lig, o.nb_col);
    const fs::path folder = fs::absolute(o.write_only).lexically_normal();
    const std::string name = (folder.has_filename() ? folder : folder.parent_path()).filename().string();
    std::error_code error;
    fs::create_directories(folder, error);
    const bool written = write_scenario_files(s, folder.string()) &&
                         write_text_file((folder / "answers.txt").string(), scenario_answers(s, name, "resultado"));
    std::printf("%s %s scenario %d x %d %s %s\n", written ? "wrote the" : "COULD NOT WRITE the", s.name.c_str(),
                s.nb_lig, s.nb_col, written ? "to" : "into", folder.c_str());
    if (written)
        std::printf("run it with: LORVANTIDE_IMAGES=%s/ lorvantide < %s > /dev/null\n",
                    folder.parent_path().c_str(), (folder / "answers.txt").c_str());
    return written ? 0 : 1;
}

// One scenario: generated, described, its searches checked, its files
// written under `images` and its stages run in this process. False when a
// run did not complete.
bool measure(const Options& o, const std::string& name, const std::string& images) {
    auto start = Clock::now();
    Scenario s = generate(name, o.nb_lig, o.nb_col);
    std::printf("\n%s %d x %d: generated in %.2f s\n", s.name.c_str(), s.nb_lig, s.nb_col, seconds_since(start));
    std::printf("  %s\n", describe(scenario_stats(s)).c_str());
    if (o.searches > 0) check_searches(s, o.searches);

    const std::string folder = images + "/" + s.name;
    fs::create_directories(folder);
    if (!write_scenario_files(s, folder)) {
        std::printf("  COULD NOT WRITE the scenario files under %s\n", folder.c_str());
        return false;
    }
    const std::string answers = scenario_answers(s, s.name, "resultado");
    const double pixels = static_cast<double>(s.pixels());
    s = Scenario{};  // the files hold it now

    // The run of least whole time, the I/O floor measured before each.
    StageTimes best;
    std::vector<double> floors;
    for (int k = 0; k < o.runs; ++k) {
        floors.push_back(io_floor_seconds(folder, static_cast<uint64_t>(pixels) * 4));
        const StageTimes t = run_in_process(answers);
        if (k == 0 || !t.completed || (best.completed && t.whole < best.whole)) best = t;
    }
    const double floor = *std::min_element(floors.begin(), floors.end());
    std::printf("  whole run in this process (least of %d): %.3f s, %s; I/O floor %.4f s, ratio %.1f\n", o.runs,
                best.whole, best.completed ? "completed" : "DID NOT COMPLETE", floor, best.whole / floor);
    std::printf("  dialogs and opening %.3f s, loading %.3f s, set-up %.3f s, distance maps %.3f s, pass 1 %.3f s,"
                " passes 2-7 %.3f s, writing %.3f s\n",
                best.dialogs, best.loading, best.setup, best.distance_maps, best.pass1, best.passes2_7, best.writing);
    return best.completed;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    if (!o.valid) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!o.write_only.empty()) return write_only(o);
    std::printf("floodplain_bench: %ld cores\n", sysconf(_SC_NPROCESSORS_ONLN));
    // First, so that nothing else has built them yet.
    std::printf("ring tables, first use %.3f s\n", ring_tables_first_use_seconds());

    const fs::path root = fs::temp_directory_path() / ("lorvantide-bench-" + std::to_string(getpid()));
    const std::string images = (root / "images").string();
    setenv("LORVANTIDE_IMAGES", (images + "/").c_str(), 1);
    bool ok = true;
    for (const std::string& name : o.scenarios) ok = measure(o, name, images) && ok;
    fs::remove_all(root);
    return ok ? 0 : 1;
}
