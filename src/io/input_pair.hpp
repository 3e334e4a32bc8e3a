// Opening the input raster pairs of the dialog and reading their descriptors.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "console.hpp"
#include "raster_pair.hpp"

// Where one input pair lives in the run record.
struct InputPairSlot {
    std::FILE*& raw;
    std::FILE*& descriptor;
    std::string& raw_path;
    std::string& descriptor_path;
    PairKind kind;
};

// Reads the typed name, builds both host paths and opens the raw file ("rb")
// and then the descriptor ("r"). On failure prints what is missing (or that the
// answers ran out) and returns false; the caller makes the fatal stop.
bool open_input_pair(Console& console, const std::string& folder_prefix, InputPairSlot slot);

// Reads up to `wanted` integers from a descriptor into `values` (those not
// present stay as they were). The descriptor must start with the lines and the
// columns as two non-negative decimal integers; otherwise prints a message that
// names the descriptor and returns false.
bool read_descriptor_size(Console& console, std::FILE* descriptor, const std::string& descriptor_path,
                          int32_t* values, int wanted);
