#include "progress.hpp"

#include <cmath>

namespace {
constexpr int kTicks = 40;  // 2.5 percent each
}

void Progress::update(double fraction) {
    if (!shown_) return;
    if (!(fraction >= 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    const int tick = static_cast<int>(std::floor(fraction * kTicks));
    if (tick <= last_tick_) return;
    while (last_tick_ < tick) {
        ++last_tick_;
        if (last_tick_ % 4 == 0)
            std::fprintf(out_, "%d", last_tick_ / 4 * 10);
        else
            std::fputc('.', out_);
    }
    if (tick == kTicks) std::fputs(" - done.\n", out_);
    std::fflush(out_);
}

int Progress::gdal_callback(double fraction, const char*, void* self) {
    static_cast<Progress*>(self)->update(fraction);
    return 1;
}

int ProgressSpan::gdal_callback(double fraction, const char*, void* self) {
    auto* span = static_cast<ProgressSpan*>(self);
    span->progress.update(fraction, span->from, span->to);
    return 1;
}
