// The result pair: named by the user, checked against the inputs, created.
#pragma once

#include <string>

#include "console.hpp"
#include "run_state.hpp"

// True when `path` names the same file (device and inode) as one of the input
// files the run holds open. A name that merely differs in text can still
// designate an input (a link, or a mask named "x_m4" against a result "x").
bool is_input_file(const Run& run, const std::string& path);

// Asks the result's name until it designates no input file, and keeps its two
// host paths in the result's pair. False when the answers run out.
bool ask_result_name(Run& run, Console& console, const std::string& folder_prefix);

// Creates (or empties) the result pair: raw file "wb", then descriptor "w".
// False, after a message naming the path, when either cannot be created.
bool create_result_pair(Run& run, Console& console);
