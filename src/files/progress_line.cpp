#include "files/progress_line.hpp"

#include <cmath>

namespace {
constexpr int kMarks = 40;  // 2.5 percent each

void draw_mark(std::FILE* out, int mark) {
    if (mark % 4 == 0)
        std::fprintf(out, "%d", mark / 4 * 10);
    else
        std::fputc('.', out);
}
}  // namespace

void ProgressLine::interrupt() {
    if (!shown_ || last_mark_ < 0 || last_mark_ >= kMarks || redraw_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    redraw_ = true;
}

void ProgressLine::update(double share) {
    if (!(share >= 0.0)) share = 0.0;
    if (share > 1.0) share = 1.0;
    if (listener_ != nullptr && !stopped_) stopped_ = !listener_->share_done(share);
    if (!shown_) return;
    const int mark = static_cast<int>(std::floor(share * kMarks));
    if (mark <= last_mark_) return;
    if (redraw_)
        for (int drawn = 0; drawn <= last_mark_; ++drawn) draw_mark(out_, drawn);
    redraw_ = false;
    while (last_mark_ < mark) draw_mark(out_, ++last_mark_);
    if (mark == kMarks) std::fputs(" - done.\n", out_);
    std::fflush(out_);
}
