// What a batch run computes: the raster pairs and the answers of a console
// run, from the very answers one would pipe into lorvantide and/or from
// options, and the input files opened and checked as the console dialog
// checks them.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "compute/channel.hpp"
#include "files/raster_pair.hpp"
#include "tiles/raw_window.hpp"

// The names as typed in the dialog (no suffix), and the answers.
struct Job {
    std::string image_root;  // host folder of the image root, ending in '/'
    std::string folder;
    std::string slope;
    std::string railing;
    std::string zone;
    std::string contour;
    std::string perimeter;  // with water bodies only
    std::string result;
    ChannelParameters parameters;
};

// Reads the dialog's answers in the console program's order and with its
// rules (a word that is not a decimal integer where one is expected is
// skipped, the water-body menu is asked again while its answer is above 1,
// only 1 means water bodies). A result naming an input is refused later, by
// open_job, instead of being asked again. TilesError when the answers end
// before the dialog does.
void read_answers(std::istream& answers, Job& job);

// The input rasters of a job, open, with the slope model's size and pixel size.
struct OpenJob {
    int32_t lines = 0;
    int32_t columns = 0;
    int32_t pix_size = 0;
    RawFile slope;
    RawFile railing;
    RawFile zone;
    RawFile contour;
    RawFile perimeter;  // open with water bodies only
    PairPaths result;
    // "Aviso" lines for raw files shorter than the descriptor says, one per file.
    std::vector<std::string> warnings;
};

// Opens every input pair in the dialog's order and checks it as the console
// program does: both files of each pair present and regular files, every
// descriptor starting with two non-negative integers, every mask of the slope
// model's size, and a result that is none of the input files. TilesError
// with the message otherwise.
OpenJob open_job(const Job& job);
