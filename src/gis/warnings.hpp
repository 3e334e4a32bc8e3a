// Notices a command gives without failing (a CRS in degrees, pixels filled
// with an elevation...): on standard error, in the form of the command's
// errors, unless -q was given. A progress line being drawn on the same
// terminal is ended first, and drawn again after the notice.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "gis/progress.hpp"

class Warnings {
public:
    Warnings(std::FILE* out, bool shown, Progress* line = nullptr) : out_(out), shown_(shown), line_(line) {}
    // Each text handed to `keep` instead (the Python module reports them as Python warnings).
    explicit Warnings(std::function<void(const std::string&)> keep) : keep_(std::move(keep)) {}
    // "\n lorvantide-raster: aviso: TEXT \n"
    void add(const std::string& text);

private:
    std::FILE* out_ = nullptr;
    bool shown_ = false;
    Progress* line_ = nullptr;
    std::function<void(const std::string&)> keep_;
};
