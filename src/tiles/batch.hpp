// lorvantide-tiles: the console run's computation as a batch command, by
// tiles, on one process or on every process of an MPI run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tiles/job.hpp"
#include "windows/processes.hpp"

extern const char* const kTilesUsage;

struct BatchOptions {
    Job job;
    std::optional<uint64_t> memory;  // --memory
    std::optional<int32_t> tile;     // --tile
    std::optional<int32_t> threads;  // --threads
    bool quiet = false;              // -q
    bool progress = false;           // --progress: even when standard error is no terminal
    bool plan = false;               // --plan: print the tiles and stop
    bool help = false;
    bool version = false;
};

// The command line (without the program's name). The answers file, when one
// is named, is read here. TilesError with the message on a bad command line.
BatchOptions parse_batch_options(const std::vector<std::string>& words);

// "12", "512K", "3M", "4G" (powers of 1024; a lower-case suffix as well) to bytes.
uint64_t parse_bytes(const std::string& option, const std::string& text);

// The whole run; the exit status (0 only when the result pair is in place).
// Messages and progress go to `err` (progress when err_is_terminal and not
// quiet); only rank 0 prints, except a failure that only another process met.
int run_batch(const std::vector<std::string>& words, Processes& processes, std::FILE* out, std::FILE* err,
              bool err_is_terminal);
