// Whole raster pairs in memory, named as in the console dialog: "DIR/NAME"
// stands for DIR/NAME_m4.raw + DIR/NAME_m4.txt (elevation) or DIR/NAME.raw +
// DIR/NAME.txt (mask).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ElevationPair {
    int32_t lines = 0;
    int32_t columns = 0;
    int32_t pixel_size = 0;  // sixth descriptor field; 0 when the descriptor stops before it
    std::vector<int32_t> pixels;  // line by line from the top-left pixel
};

struct MaskPair {
    int32_t lines = 0;
    int32_t columns = 0;
    std::vector<uint8_t> pixels;
};

// Reading refuses what the console program would take silently: a
// descriptor without positive lines and columns, and a raw file shorter
// than the descriptor says (its missing pixels would read as 0).
ElevationPair read_elevation_pair(const std::string& name);
MaskPair read_mask_pair(const std::string& name);

// Lines and columns of a pair's descriptor, checked as above, without the pixels.
void read_pair_size(const std::string& name, bool elevation, int32_t& lines, int32_t& columns);

// The six-integer descriptor gets the minimum and maximum of the pixels.
// A mask descriptor is written in the two-integer form, lines then columns,
// one to a line. Both files are removed again when either cannot be written.
void write_elevation_pair(const std::string& name, const ElevationPair& pair);
void write_mask_pair(const std::string& name, const MaskPair& pair);

std::string elevation_raw_path(const std::string& name);
std::string mask_raw_path(const std::string& name);
