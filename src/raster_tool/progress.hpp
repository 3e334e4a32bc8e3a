// Progress of long work in GDAL's own style, "0...10...20...30...40...50...
// 60...70...80...90...100 - done.", one dot for every 2.5 percent. The
// command decides whether it is shown (a terminal and no -q).
#pragma once

#include <cstdio>

class Progress {
public:
    Progress(std::FILE* out, bool shown) : out_(out), shown_(shown) {}

    // Fraction done, 0 to 1; values out of range are clamped. Reaching 1
    // prints " - done." and the line end.
    void update(double fraction);

    // A sub-range of the whole, so a command of several steps prints one line.
    void update(double fraction, double from, double to) { update(from + (to - from) * fraction); }

    // For GDAL's own long operations (rasterizing, copying to a format).
    static int gdal_callback(double fraction, const char* message, void* self);

private:
    std::FILE* out_;
    bool shown_;
    int last_tick_ = -1;
};

// One step of a command handed to GDAL: its 0..1 maps onto [from, to] of the line.
struct ProgressSpan {
    Progress& progress;
    double from;
    double to;
    static int gdal_callback(double fraction, const char* message, void* self);
};
