#include "files/progress_line.hpp"

#include <cmath>

namespace {
constexpr int kMarks = 40;  // 2.5 percent each
}

void ProgressLine::update(double share) {
    if (!(share >= 0.0)) share = 0.0;
    if (share > 1.0) share = 1.0;
    if (listener_ != nullptr && !stopped_) stopped_ = !listener_->share_done(share);
    if (!shown_) return;
    const int mark = static_cast<int>(std::floor(share * kMarks));
    if (mark <= last_mark_) return;
    while (last_mark_ < mark) {
        ++last_mark_;
        if (last_mark_ % 4 == 0)
            std::fprintf(out_, "%d", last_mark_ / 4 * 10);
        else
            std::fputc('.', out_);
    }
    if (mark == kMarks) std::fputs(" - done.\n", out_);
    std::fflush(out_);
}
