// Windows of raw rasters read and written with positioned reads and writes, a
// line of the window at a time, so that no whole raster is ever held and
// several threads (or processes) can use one file descriptor at once.
#pragma once

#include <cstdint>
#include <string>

#include "compute/channel.hpp"
#include "files/regular_file.hpp"
#include "lib/grid.hpp"

// Opens an input file with the stdio `mode` only when it is a regular file,
// as the console dialog does (files/input_checks.hpp); TilesError naming it otherwise.
File open_input_file(const std::string& path, const char* mode);

// An input raw file, open for reading (its stream only holds the file
// descriptor: every read is a positioned one).
class RawFile {
public:
    RawFile() = default;
    // Opens `path` read-only with open_input_file.
    explicit RawFile(std::string path);

    int fd() const { return file_ ? fileno(file_.get()) : -1; }
    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }

private:
    std::string path_;
    File file_;
    uint64_t size_ = 0;
};

// Lines of `line_bytes` that a file of `file_size` bytes holds completely, at most `lines`.
int32_t complete_lines(uint64_t file_size, int32_t lines, uint64_t line_bytes);

// The pixels of `rect` (a rectangle of a raster of `raster_columns` columns)
// into rows[0 .. rect.lines): each row receives rect.columns pixels (longer
// rows keep the rest). Pixels, or bytes of a pixel, beyond the end of the
// file read as 0, as in the console program's grids. Little-endian files; the
// slope model's pixels are swapped on a big-endian host. TilesError on a
// failed read.
void read_window(const RawFile& file, const RasterRect& rect, int32_t raster_columns, int32_t* const* rows);
void read_window(const RawFile& file, const RasterRect& rect, int32_t raster_columns, unsigned char* const* rows);

// Writes `count` signed 32-bit pixels (little-endian) at pixel `first` of the
// raw file open on `fd`, whose path `path` names in a failure's message.
void write_pixels(int fd, const std::string& path, uint64_t first, const int32_t* pixels, int32_t count);
