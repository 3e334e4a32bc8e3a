// Files of the benchmark: whether two are the same, and the I/O floor:
// reading a scenario's input files and writing a result of the same size with
// plain buffered I/O, then the fsync that the program's result takes too,
// nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "tests/scenarios/scenario_files.hpp"

// Whether both files exist and hold the same bytes.
bool same_file(const std::string& a, const std::string& b);

struct FloorTimes {
    double in_memory = 0;  // the inputs read and the result written into the page cache
    double whole = 0;      // and its fsync: the floor
};

// Seconds to read every input raw file of the folder, write `result_bytes`
// bytes to a file there and fsync it (the file removed afterwards).
FloorTimes io_floor_seconds(const std::string& folder, uint64_t result_bytes);
