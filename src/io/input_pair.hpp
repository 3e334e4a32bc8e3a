// Opening the input raster pairs of the dialog and reading their descriptors.
#pragma once

#include <cstdint>
#include <string>

#include "console.hpp"
#include "run_state.hpp"

// Reads the typed name, builds both host paths of the role's pair and opens
// the raw file ("rb") and then the descriptor ("r"). On failure prints what is
// missing (or that the answers ran out) and returns false; the caller makes
// the fatal stop.
bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair);

// Reads up to `wanted` integers of the pair's descriptor into `values` (those
// not present stay as they were). The descriptor must start with the lines
// and the columns as two non-negative decimal integers; otherwise prints a
// message that names the descriptor and returns false.
bool read_descriptor_size(Console& console, FilePair& pair, int32_t* values, int wanted);
