// Small scenarios for the batch command's tests, written as raster pairs
// under <root>/rio1 with the answers of a console run over them, and the
// runs of both programs on them.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support/raster_files.hpp"
#include "tests/support/run_binary.hpp"
#include "tests/support/temp_folder.hpp"

// What a scenario stresses.
enum class Flavour {
    blobs,          // patches of channel, railing, contour and lake shores anywhere, borders included
    everywhere,     // channel on every pixel but a few thin lines: it reaches every border
    no_contour,     // no contour line at all: every contour search misses
    far_boundary,   // the lower boundary in one corner only: far searches miss it
    tones_outside,  // tones outside 0..255 match nothing
};

struct TileScenario {
    int32_t lines = 0;
    int32_t columns = 0;
    std::vector<int32_t> slope;
    std::vector<unsigned char> railing, zone, contour, perimeter;
    RunAnswers answers;  // sub-folder rio1, the usual names

    // Writes every pair under root/rio1.
    void write(const std::string& root) const;
};

TileScenario make_scenario(uint32_t seed, int32_t lines, int32_t columns, Flavour flavour, bool water_bodies);

// A run of `binary` with `arguments` in `work_dir`, `input` on standard input
// and `env` added to the environment (run_binary.hpp).
ChildRequest child_request(const std::string& binary, const std::vector<std::string>& arguments,
                           const std::string& work_dir, const std::string& input = "",
                           const std::map<std::string, std::string>& env = {});

std::string console_binary();
std::string tiles_binary();

// The "Aviso" paragraphs of a program's output, in order (the console prints
// them on standard output among its prompts, the batch command on standard error).
std::vector<std::string> warnings_in(const std::string& text);

// A result pair and the warnings of the run that wrote it.
struct ResultPair {
    std::string raw;
    std::string descriptor;
    std::vector<std::string> warnings;
};

// The console program on the answers under `root`, the result pair taken
// away afterwards.
ResultPair console_run(const TempFolder& root, const std::string& answers, const std::string& folder = "rio1",
                       const std::string& result = "resultado");

// The result pair a run of lorvantide-tiles wrote under root/folder checked
// against `expected` (its warnings against the run's standard error), then
// removed: the folder must hold the files `before` again.
void expect_result_and_remove(const TempFolder& root, const std::string& folder, const BinaryRun& run,
                              const ResultPair& expected, const std::vector<std::string>& before,
                              const std::string& label);

// The answers written to `root`/`name`; its path.
std::string write_answers(const TempFolder& root, const std::string& answers,
                          const std::string& name = "answers.txt");
