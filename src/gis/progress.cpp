#include "gis/progress.hpp"

int ProgressSpan::gdal_callback(double fraction, const char*, void* self) {
    auto* span = static_cast<ProgressSpan*>(self);
    span->progress.update(fraction, span->from, span->to);
    return span->progress.stop_requested() ? 0 : 1;  // 0: GDAL abandons the operation
}
