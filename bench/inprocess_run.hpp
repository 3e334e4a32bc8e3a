// A whole run of the console program's stages inside this process, timed
// stage by stage. The one place of the benchmark that follows the program's
// run record and the parts of its computing stage: when they change, this is
// the file to follow them.
#pragma once

#include <cstdint>
#include <string>

struct StageTimes {
    double dialogs = 0;        // opening and parameters: the dialogs, the pairs opened, the grids made
    double loading = 0;        // the raw files read into the grids
    double setup = 0;          // the elevations made (the channel's spans found)
    double distance_maps = 0;  // both searches prepared: their distance maps
    double pass1 = 0;
    double pass1_processor = 0;  // user + system time of the whole process during pass 1
    double passes2_7 = 0;
    double writing = 0;
    double whole = 0;
    uint64_t console_bytes = 0;
    bool completed = false;
};

// Seconds every ring of the tables takes on its first use in this process
// (next to nothing when something already built them all).
double ring_tables_first_use_seconds();

// One run over the files under LORVANTIDE_IMAGES, with `answers` as the
// typed answers and the console counted, not kept.
StageTimes run_in_process(const std::string& answers, int32_t threads);
