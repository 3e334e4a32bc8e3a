// Benchmark of whole runs of the console program on a dense floodplain and on
// a sparse river, side by side, and of the fixed costs on small rasters.
//
//   floodplain_bench [size | lines columns] [--scenario dense|sparse|both] [--runs N] [--small-runs N]
//                    [--program PATH] [--sample-folder DIR] [--searches N]
//   floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER
//
// For each scenario (generated in memory, default 4096 x 4096): its channel
// share and distances, the ring searches checked against the literal ones,
// then (a) whole processes of the program on its files, against the I/O floor
// measured before each, and (b) one run of the program's stages in this
// process, stage by stage. See README.md for what each line means.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_files.hpp"
#include "tests/scenarios/floodplain.hpp"
#include "parallel/band_threads.hpp"
#include "bench/inprocess_run.hpp"
#include "bench/process_runs.hpp"
#include "bench/scenario_stats.hpp"
#include "bench/search_check.hpp"
#include "bench/small_rasters.hpp"
#include "tests/scenarios/sparse_river.hpp"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr const char* kUsage =
    "usage: floodplain_bench [size | lines columns] [--scenario dense|sparse|both] [--runs N] [--small-runs N]\n"
    "                        [--program PATH] [--sample-folder DIR] [--searches N]\n"
    "       floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER\n";

struct Options {
    bool valid = true;
    int32_t nb_lig = 4096, nb_col = 4096;
    std::vector<std::string> scenarios = {"dense", "sparse"};
    int runs = 5, small_runs = 20;
    std::size_t searches = 1000;  // literal comparisons; 0: no search check
    std::string program, sample_folder = LORVANTIDE_SOURCE_DIR "/sample";
    std::string write_only;  // folder: write the scenario's raster pairs and answers there and stop
};

bool whole_number(const std::string& a) {
    return !a.empty() && a.size() < 10 && a.find_first_not_of("0123456789") == std::string::npos;
}

// A count option's value, or -1.
int count_of(const std::string& value) { return whole_number(value) ? std::atoi(value.c_str()) : -1; }

Options parse(int argc, char** argv) {
    Options o;
    // Beside this program's build folder: build/bench/floodplain_bench -> build/lorvantide.
    std::error_code error;
    o.program = (fs::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "lorvantide").string();
    std::vector<int32_t> sizes;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const std::string value = k + 1 < argc ? argv[k + 1] : "";
        const bool takes_value = a == "--scenario" || a == "--runs" || a == "--small-runs" || a == "--searches" ||
                                 a == "--program" || a == "--sample-folder" || a == "--write-only";
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
        else if (a == "--small-runs")
            o.small_runs = count_of(value);
        else if (a == "--searches" && count_of(value) >= 0)
            o.searches = static_cast<std::size_t>(count_of(value));
        else if (a == "--program")
            o.program = value;
        else if (a == "--sample-folder")
            o.sample_folder = value;
        else if (a == "--write-only")
            o.write_only = value;
        else if (whole_number(a) && std::atoi(a.c_str()) > 0)
            sizes.push_back(std::atoi(a.c_str()));
        else
            o.valid = false;
    }
    if (sizes.size() > 2 || o.runs < 1 || o.small_runs < 1) o.valid = false;
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
        std::printf("run it with: LORVANTIDE_IMAGES=%s/ %s < %s > /dev/null\n", folder.parent_path().c_str(),
                    o.program.c_str(), (folder / "answers.txt").c_str());
    return written ? 0 : 1;
}

// What one scenario gives, for its column of the table.
struct Column {
    std::string title;
    double pixels = 0;
    ScenarioStats stats;
    RepeatedCost process;
    std::vector<double> floors;
    StageTimes stages;
    bool same_result = false;
    bool written = false;
};

Column measure(const Options& o, const std::string& name, const std::string& images) {
    Column c;
    auto start = Clock::now();
    Scenario s = generate(name, o.nb_lig, o.nb_col);
    c.title = name + " " + std::to_string(s.nb_lig) + " x " + std::to_string(s.nb_col);
    c.pixels = static_cast<double>(s.pixels());
    std::printf("\n%s: generated in %.2f s\n", c.title.c_str(), seconds_since(start));
    c.stats = scenario_stats(s);
    std::printf("  %s\n", describe(c.stats).c_str());
    if (o.searches > 0) check_searches(s, o.searches);

    const std::string folder = images + "/" + name;
    const std::string answers = images + "/" + name + "_answers.txt";
    fs::create_directories(folder);
    c.written = write_scenario_files(s, folder) && write_text_file(answers, scenario_answers(s, name, "resultado"));
    const std::string inprocess_answers = scenario_answers(s, name, "interno");
    const auto result_bytes = static_cast<uintmax_t>(s.pixels()) * 4;
    s = Scenario{};  // the files hold it now
    if (!c.written) {
        std::printf("  COULD NOT WRITE the scenario files under %s\n", folder.c_str());
        return c;
    }

    // (a) Whole processes, the I/O floor measured before each.
    const std::string result = folder + "/resultado_m4";
    c.process = repeat_process(
        o.runs, answers, {o.program},
        [&] {
            fs::remove(result + ".raw");
            fs::remove(result + ".txt");
            c.floors.push_back(io_floor_seconds(folder, result_bytes));
        },
        [&](const ProcessCost& cost) {
            std::error_code error;
            return cost.status == 0 && fs::file_size(result + ".raw", error) == result_bytes && !error &&
                   fs::exists(result + ".txt");
        });
    // (b) The stages in this process, the run of least whole time kept; its
    // result compared with the program's.
    for (int k = 0; k < o.runs; ++k) {
        const StageTimes t = run_in_process(inprocess_answers, threads_from_environment());
        if (k == 0 || !t.completed || (c.stages.completed && t.whole < c.stages.whole)) c.stages = t;
    }
    c.same_result = same_file(result + ".raw", folder + "/interno_m4.raw") &&
                    same_file(result + ".txt", folder + "/interno_m4.txt");
    return c;
}

std::string cell(const char* format, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

void row(const char* label, const std::vector<Column>& columns, const std::function<std::string(const Column&)>& text) {
    std::printf("%-44s", label);
    for (const Column& c : columns) std::printf(" %26s", text(c).c_str());
    std::printf("\n");
}

void print_table(const std::vector<Column>& columns, const FixedCosts& fixed, double ring_tables) {
    std::printf("\n%-44s", "");
    for (const Column& c : columns) std::printf(" %26s", c.title.c_str());
    std::printf("\n");
    const auto floor_min = [](const Column& c) {
        return c.floors.empty() ? 0 : *std::min_element(c.floors.begin(), c.floors.end());
    };
    row("channel zone", columns, [](const Column& c) { return cell("%.2f %%", 100 * c.stats.share); });
    row("(a) whole process, least / median", columns, [](const Column& c) {
        return c.process.failures > 0 ? cell("%.0f of %.0f runs FAILED", c.process.failures, c.process.runs)
                                      : cell("%.3f / %.3f s", c.process.min_wall, c.process.median_wall);
    });
    row("    processor user + system (median)", columns,
        [](const Column& c) { return cell("%.3f + %.3f s", c.process.median_user, c.process.median_system); });
    row("    peak resident memory", columns, [](const Column& c) {
        return cell("%.0f MB, %.1f B/px", c.process.peak_bytes / 1048576.0, c.process.peak_bytes / c.pixels);
    });
    row("I/O floor, least / median", columns,
        [&](const Column& c) { return cell("%.4f / %.4f s", floor_min(c), median(c.floors)); });
    row("(a) whole process / I/O floor, least, median", columns, [&](const Column& c) {
        return cell("%.1f, %.1f", c.process.min_wall / floor_min(c), c.process.median_wall / median(c.floors));
    });
    row("(a) whole process - start - ring tables", columns, [&](const Column& c) {
        return cell("%.3f s", c.process.median_wall - fixed.start.median_wall - fixed.ring_tables());
    });
    std::printf("stages:\n");
    row("  process start (a: no answers, median)", columns,
        [&](const Column&) { return cell("%.2f ms", 1e3 * fixed.start.median_wall); });
    row("  ring tables (a: empty raster - start)", columns,
        [&](const Column&) { return cell("%.3f s", fixed.ring_tables()); });
    row("  ring tables (b: first use in the bench)", columns,
        [&](const Column&) { return cell("%.3f s", ring_tables); });
    const std::pair<const char*, double StageTimes::*> stages[] = {
        {"  dialogs and opening (b)", &StageTimes::dialogs},
        {"  loading (b)", &StageTimes::loading},
        {"  set-up: elevations, work grid (b)", &StageTimes::setup},
        {"  distance maps (b)", &StageTimes::distance_maps},
        {"  pass 1 (b)", &StageTimes::pass1},
        {"  passes 2-7 (b)", &StageTimes::passes2_7},
        {"  writing (b)", &StageTimes::writing},
        {"  whole run in this process (b)", &StageTimes::whole}};
    for (const auto& [label, member] : stages)
        row(label, columns, [member = member](const Column& c) { return cell("%.3f s", c.stages.*member); });
    row("  (b) whole run / I/O floor, least", columns,
        [&](const Column& c) { return cell("%.1f", c.stages.whole / floor_min(c)); });
    row("  (b) completed, result as the program's", columns, [](const Column& c) {
        return std::string(c.stages.completed ? "yes" : "NO") + ", " + (c.same_result ? "identical" : "DIFFERENT");
    });
    std::printf("(a) whole processes of the program (medians unless said); (b) its stages in this process,\n"
                "the run of least whole time, ring tables already built. From outside a process cannot be taken\n"
                "apart: its ring tables are estimated on the small rasters, its distance maps and passes are seen\n"
                "in this process only.\n");
}

double load_average() {
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
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
    if (access(o.program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "floodplain_bench: no program at %s (--program PATH)\n", o.program.c_str());
        return 1;
    }
    std::printf("floodplain_bench: %s, %ld cores, load average %.2f at the start\n", o.program.c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), load_average());
    // First, so that nothing else has built them yet.
    const double ring_tables = ring_tables_first_use_seconds();

    const fs::path root = fs::temp_directory_path() / ("lorvantide-bench-" + std::to_string(getpid()));
    const std::string images = (root / "images").string();
    fs::create_directories(images);
    setenv("LORVANTIDE_IMAGES", (images + "/").c_str(), 1);

    const FixedCosts fixed = measure_fixed_costs(o.program, o.sample_folder, images, o.small_runs);
    print_small_rasters(fixed, ring_tables);
    std::vector<Column> columns;
    for (const std::string& name : o.scenarios) columns.push_back(measure(o, name, images));
    print_table(columns, fixed, ring_tables);
    std::printf("load average %.2f at the end\n", load_average());
    fs::remove_all(root);
    bool ok = true;
    for (const Column& c : columns)
        ok = ok && c.written && c.process.failures == 0 && c.stages.completed && c.same_result;
    return ok ? 0 : 1;
}
