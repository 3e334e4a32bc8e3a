#include "tiles/raw_window.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "files/input_checks.hpp"
#include "files/raster_pair.hpp"
#include "tiles/tiles_error.hpp"

namespace {

// Reads `count` bytes at `offset`; those beyond the end of the file are 0.
void read_at(const RawFile& file, char* into, std::size_t count, uint64_t offset) {
    while (count > 0) {
        const ssize_t got = offset < file.size() ? pread(file.fd(), into, count, static_cast<off_t>(offset)) : 0;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw TilesError("no se pudo leer el archivo " + file.path() + ": " + system_reason());
        }
        if (got == 0) {  // the end of the file: what it does not supply reads as 0
            std::memset(into, 0, count);
            return;
        }
        into += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
}

template <typename T>
void read_rows(const RawFile& file, const RasterRect& rect, int32_t raster_columns, T* const* rows) {
    const std::size_t line_bytes = static_cast<std::size_t>(rect.columns) * sizeof(T);
    for (int32_t a = 0; a < rect.lines; ++a) {
        const uint64_t first = static_cast<uint64_t>(rect.line + a) * static_cast<uint64_t>(raster_columns) +
                               static_cast<uint64_t>(rect.column);
        read_at(file, reinterpret_cast<char*>(rows[a]), line_bytes, first * sizeof(T));
        if constexpr (sizeof(T) == 4 && !kLittleEndianHost)
            swap_pixel_bytes(rows[a], static_cast<std::size_t>(rect.columns));
    }
}

}  // namespace

File open_input_file(const std::string& path, const char* mode) {
    File file;
    require(open_input(path, mode, file));
    return file;
}

RawFile::RawFile(std::string path) : path_(std::move(path)), file_(open_input_file(path_, "rb")) {
    size_ = file_bytes(file_.get());
}

int32_t complete_lines(uint64_t file_size, int32_t lines, uint64_t line_bytes) {
    if (lines <= 0 || line_bytes == 0) return 0;
    const uint64_t held = file_size / line_bytes;
    return held >= static_cast<uint64_t>(lines) ? lines : static_cast<int32_t>(held);
}

void read_window(const RawFile& file, const RasterRect& rect, int32_t raster_columns, int32_t* const* rows) {
    read_rows(file, rect, raster_columns, rows);
}

void read_window(const RawFile& file, const RasterRect& rect, int32_t raster_columns, unsigned char* const* rows) {
    read_rows(file, rect, raster_columns, rows);
}

void write_pixels(int fd, const std::string& path, uint64_t first, const int32_t* pixels, int32_t count) {
    std::vector<int32_t> swapped;
    if constexpr (!kLittleEndianHost) {
        swapped.assign(pixels, pixels + count);
        swap_pixel_bytes(swapped.data(), swapped.size());
        pixels = swapped.data();
    }
    const char* from = reinterpret_cast<const char*>(pixels);
    std::size_t left = static_cast<std::size_t>(count) * sizeof(int32_t);
    uint64_t offset = first * sizeof(int32_t);
    while (left > 0) {
        const ssize_t put = pwrite(fd, from, left, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw TilesError("no se pudo escribir el archivo " + path + ": " + system_reason());
        from += put;
        left -= static_cast<std::size_t>(put);
        offset += static_cast<uint64_t>(put);
    }
}
