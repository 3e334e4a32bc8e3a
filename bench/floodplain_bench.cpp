// Benchmark of whole runs of the console program on a dense floodplain and on
// a sparse river, side by side, and of the fixed costs on small rasters.
//
//   floodplain_bench [size | lines columns] [--scenario dense|sparse|both] [--runs N] [--small-runs N]
//                    [--program PATH] [--former PATH] [--sample-folder DIR] [--searches N]
//   floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER
//
// For each scenario (generated in memory, default 4096 x 4096): its channel
// share and distances, the ring searches checked against the literal ones,
// then (a) whole processes of the program (and of a former build of it, when
// given) on its files, against the I/O floor measured before each, and (b)
// runs of the program's stages in this process, stage by stage, on the run's
// threads and on one; last, the figures against their targets. See README.md
// for what each line means.
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
    "                        [--program PATH] [--former PATH] [--sample-folder DIR] [--searches N]\n"
    "       floodplain_bench [size | lines columns] [--scenario dense|sparse] --write-only FOLDER\n";

struct Options {
    bool valid = true;
    int32_t nb_lig = 4096, nb_col = 4096;
    std::vector<std::string> scenarios = {"dense", "sparse"};
    int runs = 5, small_runs = 20;
    std::size_t searches = 1000;  // literal comparisons; 0: no search check
    std::string program, sample_folder = LORVANTIDE_SOURCE_DIR "/sample";
    std::string former;      // a former build of the program, measured beside it
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
                                 a == "--program" || a == "--former" || a == "--sample-folder" ||
                                 a == "--write-only";
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
        else if (a == "--former")
            o.former = value;
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
    std::string name;  // dense or sparse
    double pixels = 0;
    ScenarioStats stats;
    RepeatedCost process;
    RepeatedCost former;            // the former program, when given
    std::vector<FloorTimes> floors;  // before each whole process of either program
    int32_t threads = 1;
    StageTimes stages;      // on the run's threads
    StageTimes one_thread;  // on one thread
    bool same_result = false;  // (b) against the program
    bool former_same = false;  // the former program's result against the program's
    bool written = false;

    double floor_least() const {
        double least = 0;
        for (const FloorTimes& f : floors) least = least == 0 ? f.whole : std::min(least, f.whole);
        return least;
    }
    double floor_median() const {
        std::vector<double> whole;
        for (const FloorTimes& f : floors) whole.push_back(f.whole);
        return median(whole);
    }
    double floor_in_memory_least() const {
        double least = 0;
        for (const FloorTimes& f : floors) least = least == 0 ? f.in_memory : std::min(least, f.in_memory);
        return least;
    }
};

// The stages in this process, `runs` times on `threads` threads: the run of
// least whole time (the first that did not complete, if one did not).
StageTimes least_stages(const std::string& answers, int32_t threads, int runs) {
    StageTimes best;
    for (int k = 0; k < runs; ++k) {
        const StageTimes t = run_in_process(answers, threads);
        if (k == 0 || !t.completed || (best.completed && t.whole < best.whole)) best = t;
        if (!t.completed) break;
    }
    return best;
}

Column measure(const Options& o, const std::string& name, const std::string& images) {
    Column c;
    c.name = name;
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

    // (a) Whole processes, the I/O floor measured before each; the program's
    // result kept aside to compare the others with.
    const std::string result = folder + "/resultado_m4";
    const std::string kept = folder + "/programa_m4";
    const auto whole_processes = [&](const std::string& program) {
        return repeat_process(
            o.runs, answers, {program},
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
    };
    c.process = whole_processes(o.program);
    std::error_code error;
    fs::rename(result + ".raw", kept + ".raw", error);
    fs::rename(result + ".txt", kept + ".txt", error);
    if (!o.former.empty()) {
        c.former = whole_processes(o.former);
        c.former_same = same_file(result + ".raw", kept + ".raw") && same_file(result + ".txt", kept + ".txt");
    }
    // (b) The stages in this process, on the run's threads and on one; the
    // result compared with the program's.
    c.threads = threads_from_environment();
    c.stages = least_stages(inprocess_answers, c.threads, o.runs);
    c.same_result = same_file(kept + ".raw", folder + "/interno_m4.raw") &&
                    same_file(kept + ".txt", folder + "/interno_m4.txt");
    c.one_thread = c.threads > 1 ? least_stages(inprocess_answers, 1, o.runs) : c.stages;
    return c;
}

std::string cell(const char* format, double a, double b = 0, double c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

void row(const char* label, const std::vector<Column>& columns, const std::function<std::string(const Column&)>& text) {
    std::printf("%-46s", label);
    for (const Column& c : columns) std::printf(" %28s", text(c).c_str());
    std::printf("\n");
}

// The rows of one program's whole processes.
void process_rows(const char* title, const std::vector<Column>& columns, RepeatedCost Column::*cost) {
    row(title, columns, [cost](const Column& c) {
        const RepeatedCost& p = c.*cost;
        return p.failures > 0 ? cell("%.0f of %.0f FAILED (status %.0f)", p.failures, p.runs, p.failed_status)
                              : cell("%.3f / %.3f s", p.min_wall, p.median_wall);
    });
    row("    processor user + system (median)", columns,
        [cost](const Column& c) { return cell("%.3f + %.3f s", (c.*cost).median_user, (c.*cost).median_system); });
    row("    peak resident memory", columns, [cost](const Column& c) {
        return cell("%.0f MB, %.1f B/px", (c.*cost).peak_bytes / 1048576.0, (c.*cost).peak_bytes / c.pixels);
    });
    row("    / I/O floor, least, median", columns, [cost](const Column& c) {
        return cell("%.1f, %.1f", (c.*cost).min_wall / c.floor_least(), (c.*cost).median_wall / c.floor_median());
    });
}

void print_table(const Options& o, const std::vector<Column>& columns, const FixedCosts& fixed, double ring_tables) {
    std::printf("\n%-46s", "");
    for (const Column& c : columns) std::printf(" %28s", c.title.c_str());
    std::printf("\n");
    row("channel zone", columns, [](const Column& c) { return cell("%.2f %%", 100 * c.stats.share); });
    row("I/O floor (read, write, fsync), least / median", columns,
        [](const Column& c) { return cell("%.4f / %.4f s", c.floor_least(), c.floor_median()); });
    row("    of it before the fsync, least", columns,
        [](const Column& c) { return cell("%.4f s", c.floor_in_memory_least()); });
    process_rows("(a) whole process, least / median", columns, &Column::process);
    if (!o.former.empty()) {
        process_rows("(a') former program, least / median", columns, &Column::former);
        row("    result as the program's", columns,
            [](const Column& c) { return std::string(c.former_same ? "identical" : "DIFFERENT"); });
    }
    row("(a) whole process - start - ring tables", columns, [&](const Column& c) {
        return cell("%.3f s", c.process.median_wall - fixed.start.median_wall - fixed.ring_tables());
    });
    std::printf("stages (b: on the run's threads / on one thread):\n");
    row("  process start (a: no answers, median)", columns,
        [&](const Column&) { return cell("%.2f ms", 1e3 * fixed.start.median_wall); });
    row("  ring tables (a: empty raster - start)", columns,
        [&](const Column&) { return cell("%.3f s", fixed.ring_tables()); });
    row("  ring tables (b: first use in the bench)", columns,
        [&](const Column&) { return cell("%.3f s", ring_tables); });
    const std::pair<const char*, double StageTimes::*> stages[] = {
        {"  dialogs and opening (b)", &StageTimes::dialogs},
        {"  loading (b)", &StageTimes::loading},
        {"  set-up: elevations (b)", &StageTimes::setup},
        {"  distance maps (b)", &StageTimes::distance_maps},
        {"  pass 1 (b)", &StageTimes::pass1},
        {"  passes 2-7 (b)", &StageTimes::passes2_7},
        {"  writing, with its fsync (b)", &StageTimes::writing},
        {"  whole run in this process (b)", &StageTimes::whole}};
    for (const auto& [label, member] : stages)
        row(label, columns, [member = member](const Column& c) {
            return cell("%.3f / %.3f s", c.stages.*member, c.one_thread.*member);
        });
    row("  pass 1 processor time (b)", columns, [](const Column& c) {
        return cell("%.3f / %.3f s", c.stages.pass1_processor, c.one_thread.pass1_processor);
    });
    row("  pass 1, one thread / the run's threads", columns, [](const Column& c) {
        return cell("%.2f on %.0f threads", c.one_thread.pass1 / c.stages.pass1, c.threads);
    });
    row("  (b) whole run / I/O floor, least", columns,
        [&](const Column& c) { return cell("%.1f", c.stages.whole / c.floor_least()); });
    row("  (b) completed, result as the program's", columns, [](const Column& c) {
        return std::string(c.stages.completed && c.one_thread.completed ? "yes" : "NO") + ", " +
               (c.same_result ? "identical" : "DIFFERENT");
    });
    std::printf("(a) whole processes of the program (medians unless said); (b) its stages in this process,\n"
                "the run of least whole time, ring tables already built. From outside a process cannot be taken\n"
                "apart: its ring tables are estimated on the small rasters, its distance maps and passes are seen\n"
                "in this process only.\n");
}

// The figures the work on the I/O floor aims at, against the former program.
void print_targets(const Options& o, const std::vector<Column>& columns, const FixedCosts& fixed,
                   const FixedCosts& former) {
    const bool with_former = !o.former.empty();
    const auto verdict = [](bool met) { return met ? "met" : "NOT MET"; };
    std::printf("\ntargets (least times; former program in brackets):\n");
    for (const Column& c : columns) {
        const double target = c.name == "sparse" ? 4 : 10;
        const double ratio = c.process.min_wall / c.floor_least();
        std::printf("  %-34s whole process / I/O floor %6.1f (target %.0f) %s", c.title.c_str(), ratio, target,
                    verdict(ratio <= target));
        if (with_former) std::printf("  [%.1f]", c.former.min_wall / c.floor_least());
        std::printf("\n");
        if (c.name == "dense") {
            const double speed_up = c.one_thread.pass1 / c.stages.pass1;
            std::printf("  %-34s pass 1 on %d threads %.2f times faster than on one (target 1.7) %s\n",
                        c.title.c_str(), c.threads, speed_up, verdict(c.threads >= 2 && speed_up >= 1.7));
        }
        if (c.name == "sparse") {
            const double per_pixel = static_cast<double>(c.process.peak_bytes) / c.pixels;
            std::printf("  %-34s peak resident %.1f bytes per pixel (target 8) %s", c.title.c_str(), per_pixel,
                        verdict(per_pixel <= 8));
            if (with_former) std::printf("  [%.1f]", static_cast<double>(c.former.peak_bytes) / c.pixels);
            std::printf("\n");
        }
    }
    std::printf("  %-34s median %.2f ms (about 4 ms)", "sample", 1e3 * fixed.sample.median_wall);
    if (with_former) std::printf("  [%.2f ms]", 1e3 * former.sample.median_wall);
    std::printf("\n  %-34s median %.2f ms (about 3 ms)", "empty raster", 1e3 * fixed.empty.median_wall);
    if (with_former) std::printf("  [%.2f ms]", 1e3 * former.empty.median_wall);
    std::printf("\n");
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
    if (!o.former.empty() && access(o.former.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "floodplain_bench: no former program at %s (--former PATH)\n", o.former.c_str());
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
    FixedCosts former;
    if (!o.former.empty()) {
        former = measure_fixed_costs(o.former, o.sample_folder, images, o.small_runs);
        std::printf("the former program (%s):\n", o.former.c_str());
        print_small_rasters(former, ring_tables);
    }
    std::vector<Column> columns;
    for (const std::string& name : o.scenarios) columns.push_back(measure(o, name, images));
    print_table(o, columns, fixed, ring_tables);
    print_targets(o, columns, fixed, former);
    std::printf("load average %.2f at the end\n", load_average());
    fs::remove_all(root);
    bool ok = true;
    for (const Column& c : columns)
        ok = ok && c.written && c.process.failures == 0 && c.stages.completed && c.one_thread.completed &&
             c.same_result && (o.former.empty() || (c.former.failures == 0 && c.former_same));
    return ok ? 0 : 1;
}
