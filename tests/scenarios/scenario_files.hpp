// A scenario as the raster pairs of a run in a folder, and the answers of a
// console run over them.
#pragma once

#include <string>

#include "tests/scenarios/scenario.hpp"

// Writes the valle_m4, bar, cauce, curva and (with water bodies) lago pairs
// under `folder`. False on any failed write.
bool write_scenario_files(const Scenario& scenario, const std::string& folder);

// Reads those pairs back (the size from valle_m4.txt); the tones are not in
// the files and are left as they are. False when a file is missing or short.
bool read_scenario_files(const std::string& folder, Scenario& scenario);

// The answers of a whole run over the scenario's files in `subfolder`, the
// result named `result`, one answer to a line.
std::string scenario_answers(const Scenario& scenario, const std::string& subfolder, const std::string& result);

bool write_text_file(const std::string& path, const std::string& text);
