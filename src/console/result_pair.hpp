// The result's name and its pair, asked last of the dialog's files, and
// started once the run is known to fit in memory: nothing is written over an
// earlier result until the writer puts the complete pair in its place
// (atomic_outputs.hpp).
#pragma once

#include <string>

#include "console/console.hpp"
#include "console/run_state.hpp"

// True when `path` names the same file (device and inode) as one of the input
// files the run holds open. A name that merely differs in text can still
// designate an input (a link, or a mask named "x_m4" against a result "x").
bool is_input_file(const Run& run, const std::string& path);

// Asks the result's name until it designates no input file and each of its
// two files is a regular file or does not exist yet (a folder, a FIFO or a
// device is never a result), and keeps its two host paths in the result's
// pair. False when the answers run out.
bool ask_result_name(Run& run, Console& console, const std::string& folder_prefix);

// Starts the result pair (run.result_writer): both temporaries, held.
// False, after a message, when another run is writing the same result or a
// temporary cannot be created beside one of its files (named by its path).
bool create_result_pair(Run& run, Console& console);
