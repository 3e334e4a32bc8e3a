// Progress in GDAL's own style, "0...10...20...30...40...50...60...70...80...
// 90...100 - done.", one mark for every 2.5 percent, on standard error when it
// is a terminal and -q was not given.
#pragma once

#include <cstdio>

class ProgressLine {
public:
    ProgressLine(std::FILE* out, bool shown) : out_(out), shown_(shown) {}
    // The share done, 0 to 1 (clamped); it never goes back. Reaching 1 prints
    // " - done." and the line end.
    void update(double share);
    bool shown() const { return shown_; }

private:
    std::FILE* out_;
    bool shown_;
    int last_mark_ = -1;
};
