#include "gis/progress.hpp"

int ProgressSpan::gdal_callback(double fraction, const char*, void* self) {
    auto* span = static_cast<ProgressSpan*>(self);
    span->progress.update(fraction, span->from, span->to);
    return 1;
}
