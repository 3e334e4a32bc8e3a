// Raster file pairs: a headerless raw file and its small text descriptor.
//
// Elevation pairs ("_m4.raw" + "_m4.txt") hold signed 32-bit pixels, least
// significant byte first, and a six-integer descriptor; mask pairs (".raw" +
// ".txt") hold 8-bit grey tones and a descriptor whose first two integers are
// the lines and columns.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum class PairKind { elevation, mask };

struct PairPaths {
    std::string raw;
    std::string descriptor;
};

// The image root the prompts show.
inline constexpr const char* kShownImageRoot = "c:\\images\\";

// The host folder that stands for the image root: LORVANTIDE_IMAGES when set,
// otherwise "images" under the current directory; always ends in a separator.
std::string host_image_root();

// A typed name as a host path fragment: backslashes become '/' on POSIX hosts.
std::string host_name(const std::string& typed);

// The two paths of a pair from the folder prefix (root, sub-folder and
// separator, already in host form) and the typed name.
PairPaths pair_paths(const std::string& folder_prefix, const std::string& typed_name, PairKind kind);

// Reads up to `wanted` decimal integers (optional sign and digits, any white
// space before each, within the signed 32-bit range) and returns how many were
// read before the end of the file or the first thing that is not one.
int read_descriptor_ints(std::FILE* f, int32_t* values, int wanted);

// The six-integer descriptor, one integer to a line. False when any byte
// could not be written.
bool write_six_descriptor(std::FILE* f, const int32_t values[6]);

// Raw rasters hold their 32-bit pixels little-endian. On a big-endian host
// they are swapped in place after reading and before writing.
inline constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;
void swap_pixel_bytes(int32_t* values, std::size_t count);

// One raster line: nb_col pixels into or out of one grid row, in one block.
// Reads return the number of bytes the file supplied (a short file leaves the
// rest of the row as it was); writes return false on a short write.
std::size_t read_elevation_line(std::FILE* f, int32_t* row, int32_t nb_col);
std::size_t read_mask_line(std::FILE* f, unsigned char* row, int32_t nb_col);
bool write_elevation_line(std::FILE* f, const int32_t* row, int32_t nb_col);
