// Opening the input raster pairs of the dialog and reading their descriptors.
#pragma once

#include <cstdint>
#include <string>

#include "console/console.hpp"
#include "console/run_state.hpp"

// The message of a file that could not be read (an I/O error, not its end).
inline constexpr const char* kReadError = "\n Error de lectura en el archivo %s: no se escribio ningun resultado \n";

// Prints the role's prompt, reads the typed name, builds both host paths of
// the role's pair and opens the raw file ("rb") and then the descriptor ("r"),
// each only when it is a regular file. On failure prints what is missing or
// what is not a file (or that the answers ran out) and returns false; the
// caller makes the fatal stop.
bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair);

// Reads up to `wanted` integers of the pair's descriptor into `values` (those
// not present stay as they were). The descriptor must start with the lines
// and the columns as two non-negative decimal integers, and be read without
// an error; otherwise prints a message that names the descriptor and returns
// false.
bool read_descriptor_size(Console& console, FilePair& pair, int32_t* values, int wanted);

// A raw file shorter than half of what `lines` x `columns` pixels of
// `pixel_bytes` need is refused with a message naming it (false), before any
// memory is taken for it: its descriptor is wrong, or it is not the file
// meant. A file only a little short is loaded, and its missing lines reported.
bool raw_long_enough(Console& console, const FilePair& pair, int32_t lines, int32_t columns, int pixel_bytes);
