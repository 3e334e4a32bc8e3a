// The run record: everything one run of the program hands from stage to stage.
//
// The names are those the stages have always used; the record only gathers the
// former process-wide variables so that every stage can be run in-process by a
// test. A run starts all zero, like the process-wide state it replaces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct Run {
    Run() = default;
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    // Releases what the process end would: open streams and grids.
    ~Run();

    // Raster size and the slope model's descriptor.
    int32_t nb_lig = 0;
    int32_t nb_col = 0;
    int32_t byte = 0;      // stored, never consulted
    int32_t min_dyn = 0;   // stored, never consulted
    int32_t max_dyn = 0;   // stored, never consulted
    int32_t pix_size = 0;  // carried into the result's descriptor

    // User parameters.
    int32_t presence = 0;  // only 1 means water bodies are present
    int32_t tono_cauce = 0;
    int32_t tono_bar = 0;
    int32_t tono_lim = 0;
    int32_t tono_perim = 0;
    int32_t alti_bar = 0;
    int32_t alti_lim = 0;

    // Grids, nb_lig rows of nb_col elements (null while the size is 0).
    int32_t** itab_in = nullptr;
    unsigned char** tab_bar = nullptr;
    unsigned char** tab_in = nullptr;
    unsigned char** tab_curv = nullptr;
    unsigned char** tab_perim = nullptr;
    double** dtab = nullptr;
    int32_t** itab_out = nullptr;
    unsigned char** tab_lim_inf = nullptr;  // the computation's lower-boundary work grid

    // Position left by the last ring search.
    int32_t m2 = 0;
    int32_t n2 = 0;

    // Raster file pairs: raw file, then descriptor.
    std::FILE* f1 = nullptr;  // slope model
    std::FILE* f1d = nullptr;
    std::FILE* f2 = nullptr;  // railing
    std::FILE* f2d = nullptr;
    std::FILE* f3 = nullptr;  // channel-zone mask
    std::FILE* f3d = nullptr;
    std::FILE* f4 = nullptr;  // limiting contour line
    std::FILE* f4d = nullptr;
    std::FILE* f5 = nullptr;  // result (written)
    std::FILE* f5d = nullptr;
    std::FILE* f6 = nullptr;  // water-body perimeter
    std::FILE* f6d = nullptr;

    // Host paths of the pairs, kept so that messages can name the files.
    std::string nomim1, nomdescr1, nomim2, nomdescr2, nomim3, nomdescr3;
    std::string nomim4, nomdescr4, nomim5, nomdescr5, nomim6, nomdescr6;
};
