// Files of the benchmark: whether two are the same, and the I/O floor:
// reading a scenario's input files and writing a result of the same size with
// plain buffered I/O, nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "tests/scenarios/scenario_files.hpp"

// Whether both files exist and hold the same bytes.
bool same_file(const std::string& a, const std::string& b);

// Seconds to read every input raw file of the folder and write `result_bytes`
// bytes to a file there (removed afterwards).
double io_floor_seconds(const std::string& folder, uint64_t result_bytes);
