#include "tiles/raw_windows.hpp"

#include "tiles/raw_window.hpp"

void RawWindowSource::read(const RasterRect& rect, const WindowRows& rows) {
    const int32_t columns = open_.columns;
    if (rows.slope != nullptr) read_window(open_.slope, rect, columns, rows.slope);
    if (rows.railing != nullptr) read_window(open_.railing, rect, columns, rows.railing);
    if (rows.zone != nullptr) read_window(open_.zone, rect, columns, rows.zone);
    if (rows.contour != nullptr) read_window(open_.contour, rect, columns, rows.contour);
    if (rows.perimeter != nullptr && water_) read_window(open_.perimeter, rect, columns, rows.perimeter);
}

void RawWindowSink::write_core(const RasterRect& core, const CoreValues& values) {
    for (int32_t a = 0; a < core.lines; ++a) {
        const uint64_t first = static_cast<uint64_t>(core.line + a) * static_cast<uint64_t>(columns_) +
                               static_cast<uint64_t>(core.column);
        write_pixels(fd_, path_, first, values.rounded + static_cast<std::size_t>(a) * static_cast<std::size_t>(core.columns),
                     core.columns);
    }
}
