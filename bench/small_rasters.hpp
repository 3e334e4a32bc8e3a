// The fixed costs every run pays, measured as whole processes: a trivial
// process (/bin/true) as the baseline, the console program stopped at its
// first prompt (process start), an empty raster (0 x 0) and the bundled
// 60 x 80 sample, beside what the literal computation costs on the sample.
#pragma once

#include <cstdint>
#include <string>

#include "bench/process_runs.hpp"

struct FixedCosts {
    RepeatedCost trivial;  // /bin/true
    RepeatedCost start;    // the console program with no answers: it stops at its first prompt
    RepeatedCost empty;    // an empty raster, 0 x 0
    RepeatedCost sample;   // the bundled sample
    int32_t sample_lines = 0, sample_columns = 0;
    double literal = -1;  // seconds of the literal computation on the sample in this process; -1: not measured
    // Seen from outside, the ring tables are what an empty raster costs beyond the process start.
    double ring_tables() const { return empty.median_wall - start.median_wall; }
};

// `runs` whole processes of each; the empty raster's files and a copy of the
// sample (from `sample_folder`) go under `images`, the folder
// LORVANTIDE_IMAGES names.
FixedCosts measure_fixed_costs(const std::string& program, const std::string& sample_folder, const std::string& images,
                               int runs);

// The small-raster line; `ring_tables` is their first use in the benchmark.
void print_small_rasters(const FixedCosts& costs, double ring_tables);
