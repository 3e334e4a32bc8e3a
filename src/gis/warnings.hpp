// Notices a command gives without failing (a CRS in degrees, pixels filled
// with an elevation...): on standard error, in the form of the command's
// errors, unless -q was given.
#pragma once

#include <cstdio>
#include <string>

class Warnings {
public:
    Warnings(std::FILE* out, bool shown) : out_(out), shown_(shown) {}
    // "\n lorvantide-raster: aviso: TEXT \n"
    void add(const std::string& text);

private:
    std::FILE* out_;
    bool shown_;
};
