// The run record: everything one run of the program hands from stage to stage
// (the slope model's descriptor, the user's answers, the grids and the files),
// gathered so that every stage can be run in-process by a test. A run starts
// all zero, with no grid and no file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "compute/channel_inputs.hpp"
#include "compute/elevations.hpp"
#include "files/raster_role.hpp"
#include "files/regular_file.hpp"
#include "lib/grid.hpp"

class AtomicOutputs;  // files/atomic_outputs.hpp

// A raw file and its descriptor: host paths (kept so that messages can name
// them) and, while open, their streams (inputs only: the result is written
// through `Run::result_writer`).
struct FilePair {
    std::string raw_path;
    std::string descriptor_path;
    File raw;
    File descriptor;
};

// What became of the result pair: not written (the earlier pair, if any, is
// whole), in place, or mixed until the next run that writes it makes it
// whole (files/atomic_outputs.hpp).
enum class ResultState { not_written, in_place, mixed };

struct Run {
    // From the slope model's descriptor: the raster size of the run and the
    // pixel size carried into the result (its other fields are not kept).
    int32_t nb_lig = 0;
    int32_t nb_col = 0;
    int32_t pix_size = 0;

    // The user's answers as the computation takes them: the grey tones
    // (`tono_cauce`, `tono_bar`, `tono_lim`, `tono_perim`), the heights
    // (`alti_bar`, `alti_lim`) and whether water bodies are present (the
    // menu's `presence` answered 1).
    ChannelParameters parameters;

    // Grids of nb_lig lines of nb_col elements (none for an empty raster;
    // tab_perim only with water bodies), and the computed elevations.
    Grid<int32_t> itab_in;         // slope model
    Grid<unsigned char> tab_bar;   // railing
    Grid<unsigned char> tab_in;    // channel zone
    Grid<unsigned char> tab_curv;  // limiting contour line
    Grid<unsigned char> tab_perim; // water-body perimeter
    Elevations dtab;               // computed elevations, 0.0 outside the channel

    std::array<FilePair, kRoleCount> files;
    FilePair& pair(Role role) { return files[static_cast<std::size_t>(role)]; }
    const FilePair& pair(Role role) const { return files[static_cast<std::size_t>(role)]; }
    // The result pair while it is written (the raster, then the descriptor):
    // temporaries beside its files, put in their place by the writer only
    // once complete, and removed if the run ends any other way.
    std::shared_ptr<AtomicOutputs> result_writer;
    ResultState result_state = ResultState::not_written;

    // Threads the stages may use (at least 1); results never depend on it.
    int32_t threads = 1;

    bool water_bodies() const { return parameters.water_bodies; }
    // False for an empty raster (no line or no column): it has no grid.
    bool has_pixels() const { return nb_lig > 0 && nb_col > 0; }
};
