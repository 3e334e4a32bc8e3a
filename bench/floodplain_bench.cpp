// Floodplain benchmark of the ring search and of whole runs.
//
//   floodplain_bench [size | lines columns] [--sample N] [--no-literal] [--no-stage] [--no-files]
//                    [--write-only FOLDER]
//
// Generates the floodplain scenario in memory (default 4096 x 4096) and prints:
//  1. the literal and the fast search on the same random sample of pass-1
//     channel pixels (both searches of each), checked identical, with their
//     time per search and ratio;
//  2. the computing stage on the in-memory run: its time and peak memory, with
//     the distance maps and the pass-1 searches timed apart;
//  3. a whole run through files (opening, parameters, loading, computing,
//     writing) against the I/O floor measured in the same process.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "bench_files.hpp"
#include "fast_search_batch.hpp"
#include "band_threads.hpp"
#include "fast_tone_search.hpp"
#include "floodplain_scenario.hpp"
#include "literal_circle.hpp"
#include "nrutil.hpp"
#include "stages.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time of the calling thread, which other processes' load on the
// machine does not inflate as it does the wall-clock time.
double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double peak_megabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // ru_maxrss is in KiB on Linux
}

// Swallows the console, counting its bytes.
class CountingBuffer : public std::streambuf {
public:
    uint64_t bytes = 0;

protected:
    int overflow(int c) override {
        ++bytes;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        bytes += static_cast<uint64_t>(n);
        return n;
    }
};

struct Position {
    int32_t i, j;
};

bool same(const RingHit& a, const RingHit& b) { return a.dist == b.dist && a.m2 == b.m2 && a.n2 == b.n2; }

// The lower-boundary work grid, marked as the computing stage marks it.
unsigned char** lower_boundary(const Run& run) {
    unsigned char** grid = ucmatrice(run.nb_col, run.nb_lig);
    if (!grid) return nullptr;
    for (int32_t i = 0; i < run.nb_lig; ++i)
        for (int32_t j = 0; j < run.nb_col; ++j)
            grid[i][j] = (static_cast<int32_t>(run.tab_bar[i][j]) == run.tono_bar ||
                          (run.presence == 1 && static_cast<int32_t>(run.tab_perim[i][j]) == run.tono_perim))
                             ? 1
                             : 255;
    return grid;
}

constexpr const char* kUsage =
    "usage: floodplain_bench [size | lines columns] [--sample N] [--no-literal] [--no-stage] [--no-files]\n"
    "       floodplain_bench [size | lines columns] --write-only FOLDER\n";

struct Options {
    bool valid = true;
    int32_t nb_lig = 4096, nb_col = 4096;
    int sample = 1000;
    bool literal = true, stage = true, files = true;
    std::string write_only;  // folder: write the scenario's raster pairs there and stop
};

Options parse(int argc, char** argv) {
    Options o;
    std::vector<int32_t> sizes;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--sample" && k + 1 < argc)
            o.sample = std::atoi(argv[++k]);
        else if (a == "--no-literal")
            o.literal = false;
        else if (a == "--write-only" && k + 1 < argc)
            o.write_only = argv[++k];
        else if (a == "--no-stage")
            o.stage = false;
        else if (a == "--no-files")
            o.files = false;
        else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos && std::atoi(a.c_str()) > 0)
            sizes.push_back(std::atoi(a.c_str()));
        else
            o.valid = false;
    }
    if (sizes.size() > 2) o.valid = false;
    if (sizes.size() == 1) o.nb_lig = o.nb_col = sizes[0];
    if (sizes.size() >= 2) {
        o.nb_lig = sizes[0];
        o.nb_col = sizes[1];
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    if (!options.valid) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const double pixels = static_cast<double>(options.nb_lig) * options.nb_col;
    std::printf("floodplain %d x %d, %ld cores\n", options.nb_lig, options.nb_col, sysconf(_SC_NPROCESSORS_ONLN));

    double stage_seconds = 0, stage_peak = 0;
    std::string folder;
    {
        Run run;
        auto start = Clock::now();
        if (!make_floodplain(run, options.nb_lig, options.nb_col)) {
            std::printf("not enough memory for the scenario\n");
            return 1;
        }
        std::printf("scenario generated in %.2f s\n", seconds_since(start));
        if (!options.write_only.empty()) {
            // For runs of the console program itself: the answers go with it.
            bool written = write_scenario_files(run, options.write_only);
            std::FILE* answers = std::fopen((options.write_only + "/answers.txt").c_str(), "w");
            written = written && answers != nullptr && std::fputs(scenario_answers({}, "rio").c_str(), answers) >= 0;
            if (answers != nullptr) written = (std::fclose(answers) == 0) && written;
            std::printf("%s %s\n", written ? "scenario written to" : "COULD NOT WRITE", options.write_only.c_str());
            return written ? 0 : 1;
        }

        std::vector<Position> pass1;
        for (int32_t i = 0; i < run.nb_lig; i += 4)
            for (int32_t j = 0; j < run.nb_col; j += 4)
                if (static_cast<int32_t>(run.tab_in[i][j]) == run.tono_cauce) pass1.push_back({i, j});
        std::printf("pass-1 positions %lld, channel pixels among them %zu\n",
                    static_cast<long long>(((run.nb_lig + 3) / 4)) * ((run.nb_col + 3) / 4), pass1.size());

        {
            unsigned char** lim_inf = lower_boundary(run);
            const std::clock_t maps_cpu = std::clock();
            start = Clock::now();
            const FastToneSearch contour(run.tab_curv, run.nb_lig, run.nb_col, run.tono_lim);
            const double contour_map = seconds_since(start);
            start = Clock::now();
            const FastToneSearch boundary(lim_inf, run.nb_lig, run.nb_col, 1);
            const double boundary_map = seconds_since(start);
            std::printf("distance maps: contour %.3f s, lower boundary %.3f s (ring tables included in the first),"
                        " %.3f s of processor\n",
                        contour_map, boundary_map, static_cast<double>(std::clock() - maps_cpu) / CLOCKS_PER_SEC);

            // 1. The same random sample through both searches.
            std::mt19937_64 random(1);
            std::vector<Position> sample = pass1;
            std::shuffle(sample.begin(), sample.end(), random);
            sample.resize(std::min<std::size_t>(sample.size(), static_cast<std::size_t>(options.sample)));
            std::vector<RingHit> fast_hits(2 * sample.size());
            double fast_best = 1e30;
            for (int rep = 0; rep < 5; ++rep) {
                start = Clock::now();
                for (std::size_t k = 0; k < sample.size(); ++k) {
                    fast_hits[2 * k] = contour.find(sample[k].i, sample[k].j);
                    fast_hits[2 * k + 1] = boundary.find(sample[k].i, sample[k].j);
                }
                fast_best = std::min(fast_best, seconds_since(start));
            }
            const double fast_each = fast_best / static_cast<double>(2 * sample.size());
            if (options.literal) {
                std::size_t differ = 0;
                double dist_sum = 0;
                start = Clock::now();
                for (std::size_t k = 0; k < sample.size(); ++k) {
                    const RingHit a = literal_circle(sample[k].i, sample[k].j, run.tab_curv, run.tono_lim,
                                                     run.nb_lig, run.nb_col);
                    const RingHit b = literal_circle(sample[k].i, sample[k].j, lim_inf, 1, run.nb_lig, run.nb_col);
                    differ += !same(a, fast_hits[2 * k]) + !same(b, fast_hits[2 * k + 1]);
                    dist_sum += (a.found() ? a.dist : 0) + (b.found() ? b.dist : 0);
                }
                const double literal_each = seconds_since(start) / static_cast<double>(2 * sample.size());
                std::printf("1. sample of %zu pass-1 channel pixels (%zu searches, mean distance %.1f): %s\n",
                            sample.size(), 2 * sample.size(), dist_sum / static_cast<double>(2 * sample.size()),
                            differ == 0 ? "identical" : "DIFFERENT");
                if (differ) std::printf("   %zu searches differ\n", differ);
                std::printf("   literal %.1f us per search, fast %.3f us per search, ratio %.0f\n", literal_each * 1e6,
                            fast_each * 1e6, literal_each / fast_each);
            } else {
                std::printf("1. fast %.3f us per search on %zu searches (literal skipped)\n", fast_each * 1e6,
                            2 * sample.size());
            }

            // Every pass-1 channel pixel, in the stage's order.
            const double cpu_start = thread_seconds();
            start = Clock::now();
            long long misses = 0;
            for (const Position& p : pass1) {
                misses += !contour.find(p.i, p.j).found();
                misses += !boundary.find(p.i, p.j).found();
            }
            const double pass1_seconds = seconds_since(start);
            const double pass1_cpu = thread_seconds() - cpu_start;
            std::printf("   all pass-1 searches: %zu in %.3f s (%.3f s of processor), %.3f us each, %lld misses\n",
                        2 * pass1.size(), pass1_seconds, pass1_cpu,
                        pass1_seconds * 1e6 / static_cast<double>(2 * pass1.size()), misses);

            // The same searches shared among the threads, as a pass 1 that
            // searches first and applies afterwards could run them.
            std::vector<SearchCentre> centres;
            for (const Position& p : pass1) centres.push_back({p.i, p.j});
            start = Clock::now();
            const std::vector<SearchPair> pairs = find_pairs(contour, boundary, centres);
            const double shared_seconds = seconds_since(start);
            std::size_t differ = 0;
            for (std::size_t k = 0; k < pass1.size(); ++k)
                differ += !same(pairs[k].contour, contour.find(pass1[k].i, pass1[k].j)) +
                          !same(pairs[k].boundary, boundary.find(pass1[k].i, pass1[k].j));
            std::printf("   the same searches on %d threads: %.3f s, %s\n", fast_thread_count(), shared_seconds,
                        differ == 0 ? "identical" : "DIFFERENT");
            frucmatrice(lim_inf, run.nb_lig);
        }

        // 2. The computing stage on the in-memory run.
        if (!options.stage) return 0;
        CountingBuffer counted;
        std::ostream out(&counted);
        std::istringstream no_answers;
        Console console(no_answers, out);
        start = Clock::now();
        const Outcome outcome = treatment(run, console);
        stage_seconds = seconds_since(start);
        stage_peak = peak_megabytes();
        long long channel = 0, filled = 0;
        for (int32_t i = 0; i < run.nb_lig; ++i)
            for (int32_t j = 0; j < run.nb_col; ++j)
                if (static_cast<int32_t>(run.tab_in[i][j]) == run.tono_cauce) {
                    ++channel;
                    filled += run.dtab[i][j] != 0.0;
                }
        std::printf("2. computing stage: %.3f s (%.1f ns per pixel), outcome %s, %llu console bytes,"
                    " %lld of %lld channel pixels computed\n",
                    stage_seconds, stage_seconds * 1e9 / pixels, outcome == Outcome::go_on ? "go_on" : "not go_on",
                    static_cast<unsigned long long>(counted.bytes), filled, channel);
        std::printf("   peak memory so far %.0f MB, %.1f bytes per pixel\n", stage_peak, stage_peak * 1048576.0 / pixels);

        if (options.files) {
            folder = (std::filesystem::temp_directory_path() / ("lorvantide-bench-" + std::to_string(getpid())))
                         .string();
            std::filesystem::create_directories(folder + "/images/rio");
            start = Clock::now();
            if (!write_scenario_files(run, folder + "/images/rio")) {
                std::printf("cannot write the scenario files under %s\n", folder.c_str());
                std::filesystem::remove_all(folder);
                return 1;
            }
            std::printf("scenario files written in %.2f s\n", seconds_since(start));
        }
    }
    if (!options.files) return 0;

    // 3. A whole run through files, against the I/O floor.
    const std::string rio = folder + "/images/rio";
    const double floor_seconds = io_floor_seconds(rio, static_cast<uint64_t>(pixels) * 4);
    setenv("LORVANTIDE_IMAGES", (folder + "/images/").c_str(), 1);
    double run_seconds = 0;
    double stage_times[4] = {};  // cumulative: after the dialogs, loading, computing, writing
    bool completed = false;
    {
        Run run;
        CountingBuffer counted;
        std::ostream out(&counted);
        std::istringstream answers(scenario_answers(ScenarioTones{}, "rio"));
        Console console(answers, out);
        const auto start = Clock::now();
        completed = opening(run, console) == Outcome::go_on && parameters(run, console) == Outcome::go_on;
        stage_times[0] = seconds_since(start);
        completed = completed && lecture(run, console) == Outcome::go_on;
        stage_times[1] = seconds_since(start);
        completed = completed && treatment(run, console) == Outcome::go_on;
        stage_times[2] = seconds_since(start);
        completed = completed && save(run, console) == Outcome::go_on;
        run_seconds = seconds_since(start);
        stage_times[3] = run_seconds;
    }
    const double again = io_floor_seconds(rio, static_cast<uint64_t>(pixels) * 4);
    std::printf("3. whole run through files: %.3f s, %s; I/O floor %.3f s (again after the run %.3f s),"
                " ratio %.1f\n",
                run_seconds, completed ? "completed" : "DID NOT COMPLETE", floor_seconds, again,
                run_seconds / std::min(floor_seconds, again));
    std::printf("   dialogs and opening %.3f s, loading %.3f s, computing %.3f s, writing %.3f s\n", stage_times[0],
                stage_times[1] - stage_times[0], stage_times[2] - stage_times[1], stage_times[3] - stage_times[2]);
    std::printf("   peak memory of the process %.0f MB, %.1f bytes per pixel\n", peak_megabytes(),
                peak_megabytes() * 1048576.0 / pixels);
    std::filesystem::remove_all(folder);
    return completed ? 0 : 1;
}
