// Whole raster pairs in memory, named as in the console dialog: "DIR/NAME"
// stands for DIR/NAME_m4.raw + DIR/NAME_m4.txt (elevation) or DIR/NAME.raw +
// DIR/NAME.txt (mask).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gis/output_files.hpp"

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
// descriptor without positive lines and columns, a raw file shorter than the
// descriptor says (its missing pixels would read as 0), and files that are
// not regular files (a FIFO would block forever). It needs the memory of the
// whole pair, checked before any of it is taken.
ElevationPair read_elevation_pair(const std::string& name);
MaskPair read_mask_pair(const std::string& name);

// Refuses a mask in which no pixel holds `tone`: it would select nothing.
void require_tone(const MaskPair& mask, int tone, const std::string& name);

// Refuses a mask, or another elevation pair, whose size is not that of the
// elevation pair it goes with.
void require_same_size(const MaskPair& mask, const std::string& mask_name, const ElevationPair& pair,
                       const std::string& pair_name);
void require_same_size(const ElevationPair& other, const std::string& other_name, const ElevationPair& pair,
                       const std::string& pair_name);

// Lines and columns of a pair's descriptor, checked as above, without the pixels.
void read_pair_size(const std::string& name, bool elevation, int32_t& lines, int32_t& columns);

// The files of a pair as outputs of a command: the raw file first, then the
// descriptor, so the descriptor is put in place after the raster.
struct PairOutputs {
    OutputFile raw;
    OutputFile descriptor;
};
PairOutputs add_elevation_pair(OutputSet& outputs, const std::string& name);
PairOutputs add_mask_pair(OutputSet& outputs, const std::string& name);

// The six-integer descriptor gets the minimum and maximum of the pixels.
// A mask descriptor is written in the two-integer form, lines then columns,
// one to a line.
void write_elevation_pair(const PairOutputs& files, const ElevationPair& pair);
void write_mask_pair(const PairOutputs& files, const MaskPair& pair);

// A whole pair written on its own, replacing any earlier one atomically.
void save_elevation_pair(const std::string& name, const ElevationPair& pair);
void save_mask_pair(const std::string& name, const MaskPair& pair);

// Every file of a pair ("_m4.raw", "_m4.txt" and the sidecar "_m4.vrt" of an
// elevation pair), to keep a command from writing over what it reads.
std::vector<std::string> elevation_pair_files(const std::string& name);
std::vector<std::string> mask_pair_files(const std::string& name);

std::string elevation_raw_path(const std::string& name);
std::string mask_raw_path(const std::string& name);
