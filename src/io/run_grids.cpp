#include "run_grids.hpp"

#include <unistd.h>

#include <limits>

#include "nrutil.hpp"

namespace {

bool has_pixels(const Run& run) { return run.nb_lig > 0 && run.nb_col > 0; }

void say_memory_needed(Console& console, const Run& run, const GridBytes& need) {
    if (need.countable)
        console.sayf("\n No hay memoria para la imagen de %d lineas y %d columnas: necesita %llu bytes \n",
                     run.nb_lig, run.nb_col, static_cast<unsigned long long>(need.bytes));
    else
        console.sayf("\n No hay memoria para la imagen de %d lineas y %d columnas: necesita mas de %llu bytes \n",
                     run.nb_lig, run.nb_col,
                     static_cast<unsigned long long>(std::numeric_limits<uint64_t>::max()));
}

void release_run_grids(Run& run) {
    frucmatrice(run.tab_in, run.nb_lig);
    frucmatrice(run.tab_curv, run.nb_lig);
    frucmatrice(run.tab_bar, run.nb_lig);
    frucmatrice(run.tab_perim, run.nb_lig);
    frimatrice(run.itab_out, run.nb_lig);
    frimatrice(run.itab_in, run.nb_lig);
    frdmatrice(run.dtab, run.nb_lig);
    run.tab_in = run.tab_curv = run.tab_bar = run.tab_perim = nullptr;
    run.itab_out = run.itab_in = nullptr;
    run.dtab = nullptr;
}

}  // namespace

GridBytes run_grid_bytes(int32_t nb_lig, int32_t nb_col, bool with_perimeter) {
    if (nb_lig <= 0 || nb_col <= 0) return {};
    // tab_in, tab_curv, tab_bar, itab_out, itab_in, dtab and the work grid,
    // plus tab_perim with water bodies.
    const uint64_t grids = with_perimeter ? 8 : 7;
    const uint64_t pixel_bytes = 1 + 1 + 1 + 4 + 4 + 8 + 1 + (with_perimeter ? 1 : 0);
    uint64_t row_bytes = 0;
    uint64_t total = 0;
    GridBytes need;
    if (__builtin_mul_overflow(static_cast<uint64_t>(nb_col), pixel_bytes, &row_bytes) ||
        __builtin_add_overflow(row_bytes, grids * sizeof(void*), &row_bytes) ||
        __builtin_mul_overflow(row_bytes, static_cast<uint64_t>(nb_lig), &total)) {
        need.countable = false;
        return need;
    }
    need.bytes = total;
    return need;
}

uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(pages), static_cast<uint64_t>(page_size), &bytes))
        return std::numeric_limits<uint64_t>::max();
    return bytes;
}

bool allocate_run_grids(Run& run, Console& console) {
    if (!has_pixels(run)) return true;  // an empty raster has no grid to make
    const bool with_perimeter = run.presence == 1;
    const GridBytes need = run_grid_bytes(run.nb_lig, run.nb_col, with_perimeter);
    const uint64_t physical = physical_memory_bytes();
    if (!need.countable || (physical != 0 && need.bytes > physical)) {
        say_memory_needed(console, run, need);
        return false;
    }
    run.tab_in = ucmatrice(run.nb_col, run.nb_lig);
    run.tab_curv = ucmatrice(run.nb_col, run.nb_lig);
    run.tab_bar = ucmatrice(run.nb_col, run.nb_lig);
    if (with_perimeter) run.tab_perim = ucmatrice(run.nb_col, run.nb_lig);
    run.itab_out = imatrice(run.nb_col, run.nb_lig);
    run.itab_in = imatrice(run.nb_col, run.nb_lig);
    run.dtab = dmatrice(run.nb_col, run.nb_lig);
    const bool all_made = run.tab_in != nullptr && run.tab_curv != nullptr && run.tab_bar != nullptr &&
                          (!with_perimeter || run.tab_perim != nullptr) && run.itab_out != nullptr &&
                          run.itab_in != nullptr && run.dtab != nullptr;
    if (!all_made) {
        // Memory is exhausted: give back what was obtained so that the
        // message itself can still be printed.
        release_run_grids(run);
        say_memory_needed(console, run, need);
        return false;
    }
    return true;
}
