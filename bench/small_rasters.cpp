#include "bench/small_rasters.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench/bench_files.hpp"
#include "tests/reference/reference_treatment.hpp"

namespace fs = std::filesystem;

namespace {

void print_cost(const char* label, const RepeatedCost& c, const RepeatedCost& trivial, const char* note = "") {
    if (c.runs == 0 || c.failures == c.runs) {
        std::printf("  %-38s FAILED (%d of %d runs)\n", label, c.failures, c.runs);
        return;
    }
    std::printf("  %-38s %8.2f / %8.2f ms  %7.2f + %6.2f ms  %6.1f MB  x%-6.0f%s\n", label, 1e3 * c.min_wall,
                1e3 * c.median_wall, 1e3 * c.median_user, 1e3 * c.median_system, c.peak_bytes / 1048576.0,
                trivial.median_wall > 0 ? c.median_wall / trivial.median_wall : 0.0, note);
    if (c.failures > 0) std::printf("  %-38s %d of %d runs FAILED\n", "", c.failures, c.runs);
}

// A whole run's result is there, of the expected size, with its descriptor.
bool result_written(const std::string& folder, uintmax_t raw_bytes) {
    std::error_code error;
    return fs::file_size(folder + "/resultado_m4.raw", error) == raw_bytes && !error &&
           fs::exists(folder + "/resultado_m4.txt");
}

void remove_result(const std::string& folder) {
    fs::remove(folder + "/resultado_m4.raw");
    fs::remove(folder + "/resultado_m4.txt");
}

RepeatedCost run_case(const std::string& program, const std::string& answers, const std::string& folder,
                      uintmax_t raw_bytes, int runs) {
    return repeat_process(
        runs, answers, {program}, [&] { remove_result(folder); },
        [&](const ProcessCost& c) { return c.status == 0 && result_written(folder, raw_bytes); });
}

// The literal computation (the reference of the tests) on the sample, in
// this process: the least of `runs` times. Negative when the sample cannot
// be read.
double literal_seconds(const std::string& folder, const std::string& answers_path, int runs) {
    // The answers: sub-folder, four names, presence, (perimeter), result, then the tones and heights.
    std::ifstream answers(answers_path);
    std::vector<std::string> words{std::istream_iterator<std::string>(answers), std::istream_iterator<std::string>()};
    Scenario s;
    if (words.size() < 8) return -1;
    s.presence = std::atoi(words[5].c_str());
    const std::size_t first = s.presence == 1 ? 8 : 7;
    if (words.size() < first + (s.presence == 1 ? 6 : 5) || !read_scenario_files(folder, s)) return -1;
    ReferenceInput in;
    in.nb_lig = s.nb_lig;
    in.nb_col = s.nb_col;
    in.presence = s.presence;
    int32_t* tones[] = {&in.tono_cauce, &in.tono_bar, &in.alti_bar, &in.tono_lim, &in.alti_lim, &in.tono_perim};
    for (std::size_t k = 0; k < (s.presence == 1 ? 6u : 5u); ++k) *tones[k] = std::atoi(words[first + k].c_str());
    for (int64_t i = 0; i < s.nb_lig; ++i) {
        const auto from = static_cast<std::ptrdiff_t>(s.at(i, 0)), to = from + s.nb_col;
        in.itab_in.emplace_back(s.slope.begin() + from, s.slope.begin() + to);
        in.tab_bar.emplace_back(s.railing.begin() + from, s.railing.begin() + to);
        in.tab_in.emplace_back(s.zone.begin() + from, s.zone.begin() + to);
        in.tab_curv.emplace_back(s.contour.begin() + from, s.contour.begin() + to);
        if (s.presence == 1) in.tab_perim.emplace_back(s.perimeter.begin() + from, s.perimeter.begin() + to);
    }
    double best = 1e30;
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        const ReferenceResult result = reference_treatment(in);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result.dtab.size() == static_cast<std::size_t>(s.nb_lig)) best = std::min(best, took);
    }
    return best;
}

}  // namespace

FixedCosts measure_fixed_costs(const std::string& program, const std::string& sample_folder, const std::string& images,
                               int runs) {
    FixedCosts f;
    f.trivial = repeat_process(
        runs, "/dev/null", {"/bin/true"}, [] {}, [](const ProcessCost& c) { return c.status == 0; });
    f.start = repeat_process(runs, "/dev/null", {program});

    const std::string empty_folder = images + "/empty";
    const std::string empty_answers = images + "/empty_answers.txt";
    const Scenario empty = empty_scenario();
    fs::create_directories(empty_folder);
    if (write_scenario_files(empty, empty_folder) &&
        write_text_file(empty_answers, scenario_answers(empty, "empty", "resultado")))
        f.empty = run_case(program, empty_answers, empty_folder, 0, runs);

    const std::string sample = images + "/rio1";
    const std::string sample_answers = sample_folder + "/answers.txt";
    std::error_code error;
    fs::copy(sample_folder + "/images/rio1", sample, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             error);
    Scenario size;
    if (error || !read_scenario_files(sample, size)) return f;
    f.sample_lines = size.nb_lig;
    f.sample_columns = size.nb_col;
    f.sample = run_case(program, sample_answers, sample, size.pixels() * 4, runs);
    f.literal = literal_seconds(sample, sample_answers, runs);
    return f;
}

void print_small_rasters(const FixedCosts& f, double ring_tables) {
    std::printf(
        "\nsmall rasters: %d whole processes each (least / median wall, median processor user + system,"
        " peak resident, median against the trivial process)\n",
        f.trivial.runs);
    print_cost("trivial process (/bin/true)", f.trivial, f.trivial);
    print_cost("process start (no answers)", f.start, f.trivial, "  stops at its first prompt");
    print_cost("empty raster 0 x 0", f.empty, f.trivial, "  literal: nothing to compute");
    char label[64];
    std::snprintf(label, sizeof label, "sample %d x %d", f.sample_lines, f.sample_columns);
    print_cost(f.sample.runs > 0 ? label : "sample (not found)", f.sample, f.trivial);
    if (f.literal >= 0)
        std::printf(
            "  literal computation on the sample (the tests' reference) in this process %.2f ms;"
            " with a trivial process around it about %.2f ms\n",
            1e3 * f.literal, 1e3 * (f.literal + f.trivial.median_wall));
    std::printf(
        "  ring tables seen from outside (empty raster - process start, medians) %.1f ms;"
        " first use in the benchmark %.1f ms\n",
        1e3 * f.ring_tables(), 1e3 * ring_tables);
}
