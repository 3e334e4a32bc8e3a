// Raster file pairs written for tests, in the tool's formats: elevation pairs
// ("_m4.raw" of 32-bit little-endian pixels, six-integer "_m4.txt") and mask
// pairs (".raw" of 8-bit tones, ".txt" with lines and columns).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Signed 32-bit values as little-endian bytes, and back.
std::string little_endian_int32s(const std::vector<int32_t>& values);
std::vector<int32_t> int32s_from_little_endian(const std::string& bytes);

// `folder`/`name`_m4.raw and `folder`/`name`_m4.txt. The descriptor holds the
// six integers lines, columns, 4, the smallest and largest value, pix_size.
void write_elevation_pair(const std::string& folder, const std::string& name, int32_t lines, int32_t columns,
                          const std::vector<int32_t>& values, int32_t pix_size = 10);

// `folder`/`name`.raw and `folder`/`name`.txt, the descriptor "lines\ncolumns\n".
void write_mask_pair(const std::string& folder, const std::string& name, int32_t lines, int32_t columns,
                     const std::vector<unsigned char>& tones);

// The descriptor the writer gives a result raster of this size and values:
// lines, columns, 4, the extremes (compared strictly from one million and from
// 0) and the pixel size, one to a line.
std::string result_descriptor(int32_t lines, int32_t columns, const std::vector<int32_t>& raster,
                              int32_t pix_size = 10);

// Elevations as the writer rounds them, line after line: each value + 0.5 in
// extended precision, truncated (for values within the 32-bit range).
std::vector<int32_t> rounded_raster(const std::vector<std::vector<double>>& dtab);

// The answers of a run over the usual names (sub-folder rio1; valle, bar,
// cauce, curva and, with water bodies, lago; result resultado), one to a line.
struct RunAnswers {
    std::string folder = "rio1";
    std::string slope = "valle";
    std::string railing = "bar";
    std::string channel = "cauce";
    std::string contour = "curva";
    std::string presence = "0";
    std::string perimeter = "lago";  // answered only when presence is "1"
    std::string result = "resultado";
    std::string tono_cauce = "255";
    std::string tono_bar = "255";
    std::string alti_bar = "2";
    std::string tono_lim = "255";
    std::string alti_lim = "150";
    std::string tono_perim = "255";  // answered only when presence is "1"

    std::string text() const;
};

// A small valid scenario under `images_root`/rio1 with the names of
// RunAnswers: a slope model falling along the columns, railing on the middle
// line, channel on the lines next to it, contour on the first and last lines,
// and a perimeter raster with one pixel of the tone.
void write_scenario(const std::string& images_root, int32_t lines, int32_t columns);
