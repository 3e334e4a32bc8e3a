// The progress line of a command (progress_line.hpp), and the callbacks that
// let GDAL's own long operations (rasterizing, copying to a format) move it.
#pragma once

#include "files/progress_line.hpp"

using Progress = ProgressLine;

// One step of a command handed to GDAL: its 0..1 maps onto [from, to] of the line;
// a stop the line's listener asks for abandons GDAL's operation.
struct ProgressSpan {
    Progress& progress;
    double from;
    double to;
    static int gdal_callback(double fraction, const char* message, void* self);
};
