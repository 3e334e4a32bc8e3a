// The scenario as raster pairs in a folder, and the I/O floor: reading the
// same input files and writing a result of the same size with plain buffered
// I/O, nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "floodplain_scenario.hpp"
#include "run_state.hpp"

// Writes valle_m4, bar, cauce, curva and lago pairs under `folder`. False on
// any failed write.
bool write_scenario_files(const Run& run, const std::string& folder);

// Seconds to read every input raw file of the folder and write `result_bytes`
// bytes to a file there (removed afterwards).
double io_floor_seconds(const std::string& folder, uint64_t result_bytes);

// The answers of a whole run over those files, one to a line.
std::string scenario_answers(const ScenarioTones& tones, const std::string& subfolder);
