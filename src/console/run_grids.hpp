// The memory of a run: every grid is made once the raster size is known, and
// the run is refused before any file is written when the grids cannot be had.
#pragma once

#include <cstdint>

#include "console/console.hpp"
#include "console/run_state.hpp"

struct GridBytes {
    bool countable = true;  // false when the total does not fit in 64 bits
    uint64_t bytes = 0;
};

// Bytes a run of this size takes, row tables included: the raster grids made
// by the dialog (the perimeter grid only with water bodies) and what the
// computation takes for itself later (channel_memory_bytes), which must fit too.
GridBytes run_grid_bytes(int32_t nb_lig, int32_t nb_col, bool with_perimeter);

// The memory the process may still take, in bytes: the machine's available
// memory (MemAvailable, or the physical memory where it is not told), or less
// when what is left under the process's address-space or data limits
// (RLIMIT_AS, RLIMIT_DATA, less what it already holds) says so; 0 when it
// cannot be known.
uint64_t usable_memory_bytes();

// Makes the input rasters of the run (nothing for an empty raster): each raw
// input file, open at its start, read in place where it can be, a grid of
// zeros for the loader otherwise (input_raster.hpp). When the run's total
// exceeds the usable memory, or an allocation fails, prints how much memory
// the raster needs and returns false. Linux would otherwise grant far
// more than the machine holds and kill the process halfway through the run.
bool allocate_run_grids(Run& run, Console& console);
