#include "console/run_grids.hpp"

#include "compute/channel.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <utility>

namespace {

// A "Name:   N kB" line of a /proc file, in bytes; 0 when it is not there.
uint64_t proc_field_bytes(const char* file, const char* name) {
    std::ifstream in(file);
    std::string line;
    const std::size_t length = std::strlen(name);
    while (std::getline(in, line)) {
        if (line.compare(0, length, name) != 0) continue;
        const unsigned long long kib = std::strtoull(line.c_str() + length, nullptr, 10);
        return kib > std::numeric_limits<uint64_t>::max() / 1024 ? std::numeric_limits<uint64_t>::max() : kib * 1024;
    }
    return 0;
}

void say_memory_needed(Console& console, const Run& run, const GridBytes& need) {
    if (need.countable)
        console.sayf("\n No hay memoria para la imagen de %d lineas y %d columnas: necesita %llu bytes \n",
                     run.nb_lig, run.nb_col, static_cast<unsigned long long>(need.bytes));
    else
        console.sayf("\n No hay memoria para la imagen de %d lineas y %d columnas: necesita mas de %llu bytes \n",
                     run.nb_lig, run.nb_col,
                     static_cast<unsigned long long>(std::numeric_limits<uint64_t>::max()));
}

// The input raster of `role`: its raw file read in place where it can be
// (input_raster.hpp), otherwise a grid of zeros for the loader to fill.
template <typename T>
InputRaster<T> input_raster(const Run& run, Role role) {
    InputRaster<T> raster = InputRaster<T>::in_place(run.pair(role).raw.get(), run.nb_lig, run.nb_col);
    if (raster.made()) return raster;
    return Grid<T>::make(run.nb_lig, run.nb_col);
}

}  // namespace

GridBytes run_grid_bytes(int32_t nb_lig, int32_t nb_col, bool with_perimeter) {
    if (nb_lig <= 0 || nb_col <= 0) return {};
    // tab_in, tab_curv, tab_bar, itab_in and the elevations (counted whole,
    // as a channel may cover the raster), plus tab_perim with water bodies,
    // then what the computation takes for itself. An input read in place
    // takes as much address space as its grid would, and a short raw file is
    // read into a grid, so every input counts whole.
    const uint64_t grids = with_perimeter ? 6 : 5;
    const uint64_t pixel_bytes = 1 + 1 + 1 + 4 + 8 + (with_perimeter ? 1 : 0);
    const uint64_t computation = channel_memory_bytes(ChannelWindow::whole(nb_lig, nb_col));
    uint64_t row_bytes = 0;
    uint64_t total = 0;
    GridBytes need;
    if (__builtin_mul_overflow(static_cast<uint64_t>(nb_col), pixel_bytes, &row_bytes) ||
        __builtin_add_overflow(row_bytes, grids * sizeof(void*), &row_bytes) ||
        __builtin_mul_overflow(row_bytes, static_cast<uint64_t>(nb_lig), &total) ||
        __builtin_add_overflow(total, computation, &total) || computation == std::numeric_limits<uint64_t>::max()) {
        need.countable = false;
        return need;
    }
    need.bytes = total;
    return need;
}

uint64_t usable_memory_bytes() {
    // What the machine can still give: MemAvailable, or the physical memory
    // where the kernel does not tell.
    uint64_t bytes = proc_field_bytes("/proc/meminfo", "MemAvailable:");
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (bytes == 0 && pages > 0 && page_size > 0 &&
        __builtin_mul_overflow(static_cast<uint64_t>(pages), static_cast<uint64_t>(page_size), &bytes))
        bytes = std::numeric_limits<uint64_t>::max();
    // What the process may still take under its limits, less what it holds already.
    const std::pair<int, const char*> limits[] = {{RLIMIT_AS, "VmSize:"}, {RLIMIT_DATA, "VmData:"}};
    for (const auto& [resource, used_field] : limits) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) continue;
        const uint64_t used = proc_field_bytes("/proc/self/status", used_field);
        const uint64_t room = limit.rlim_cur > used ? limit.rlim_cur - used : 1;  // 1: none left, yet known
        if (bytes == 0 || room < bytes) bytes = room;
    }
    return bytes;
}

bool allocate_run_grids(Run& run, Console& console) {
    if (!run.has_pixels()) return true;  // an empty raster has no grid to make
    const bool with_perimeter = run.water_bodies();
    const GridBytes need = run_grid_bytes(run.nb_lig, run.nb_col, with_perimeter);
    const uint64_t usable = usable_memory_bytes();
    if (!need.countable || (usable != 0 && need.bytes > usable)) {
        say_memory_needed(console, run, need);
        return false;
    }
    run.tab_in = input_raster<unsigned char>(run, Role::zone);
    run.tab_curv = input_raster<unsigned char>(run, Role::contour);
    run.tab_bar = input_raster<unsigned char>(run, Role::railing);
    if (with_perimeter) run.tab_perim = input_raster<unsigned char>(run, Role::perimeter);
    // Only the slope under the lower boundary's hits is ever read: a page at a time.
    run.itab_in = InputRaster<int32_t>::by_pages(run.pair(Role::slope).raw.get(), run.nb_lig, run.nb_col);
    if (!run.itab_in.made()) run.itab_in = Grid<int32_t>::make(run.nb_lig, run.nb_col);
    const bool all_made = run.tab_in.made() && run.tab_curv.made() && run.tab_bar.made() &&
                          (!with_perimeter || run.tab_perim.made()) && run.itab_in.made();
    if (!all_made) {
        // Memory is exhausted: give back what was obtained so that the
        // message itself can still be printed.
        run.tab_in = {};
        run.tab_curv = {};
        run.tab_bar = {};
        run.tab_perim = {};
        run.itab_in = {};
        say_memory_needed(console, run, need);
        return false;
    }
    return true;
}
