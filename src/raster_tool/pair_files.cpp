#include "pair_files.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>

#include "raster_pair.hpp"
#include "tool_error.hpp"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

PairPaths paths_of(const std::string& name, bool elevation) {
    return pair_paths("", name, elevation ? PairKind::elevation : PairKind::mask);
}

File open_or_fail(const std::string& path, const char* mode) {
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (f == nullptr) {
        if (mode[0] == 'r') throw ToolError("no existe o no se puede leer el archivo " + path);
        throw ToolError("no se puede escribir " + path);
    }
    return File(f);
}

// The pixel count of a size already known to be positive, refused when it
// could not be held in memory on this host.
std::size_t pixel_count(int32_t lines, int32_t columns, const std::string& where) {
    const auto count = static_cast<unsigned long long>(lines) * static_cast<unsigned long long>(columns);
    if (count > std::numeric_limits<std::size_t>::max() / 8) throw ToolError("tamano imposible en " + where);
    return static_cast<std::size_t>(count);
}

void check_raw_length(const std::string& raw, int32_t lines, int32_t columns, std::size_t bytes_per_pixel) {
    std::error_code error;
    const auto length = std::filesystem::file_size(raw, error);
    if (error) throw ToolError("no existe o no se puede leer el archivo " + raw);
    const auto wanted = pixel_count(lines, columns, raw) * bytes_per_pixel;
    if (length < wanted)
        throw ToolError("el archivo " + raw + " tiene " + std::to_string(length) + " bytes y su descriptor pide " +
                        std::to_string(wanted));
}

void remove_pair(const PairPaths& paths) {
    std::error_code ignored;
    std::filesystem::remove(paths.raw, ignored);
    std::filesystem::remove(paths.descriptor, ignored);
}

void finish(File& f, const std::string& path, bool written) {
    const bool closed = std::fclose(f.release()) == 0;
    if (!written || !closed) throw ToolError("no se puede escribir " + path);
}

}  // namespace

std::string elevation_raw_path(const std::string& name) { return paths_of(name, true).raw; }
std::string mask_raw_path(const std::string& name) { return paths_of(name, false).raw; }

void read_pair_size(const std::string& name, bool elevation, int32_t& lines, int32_t& columns) {
    const PairPaths paths = paths_of(name, elevation);
    File descriptor = open_or_fail(paths.descriptor, "r");
    int32_t values[2] = {0, 0};
    if (read_descriptor_ints(descriptor.get(), values, 2) < 2 || values[0] <= 0 || values[1] <= 0)
        throw ToolError("el descriptor " + paths.descriptor + " no empieza con dos enteros positivos (lineas y columnas)");
    lines = values[0];
    columns = values[1];
    check_raw_length(paths.raw, lines, columns, elevation ? 4 : 1);
}

ElevationPair read_elevation_pair(const std::string& name) {
    const PairPaths paths = paths_of(name, true);
    ElevationPair pair;
    {
        File descriptor = open_or_fail(paths.descriptor, "r");
        int32_t values[6] = {0, 0, 0, 0, 0, 0};
        if (read_descriptor_ints(descriptor.get(), values, 6) < 2 || values[0] <= 0 || values[1] <= 0)
            throw ToolError("el descriptor " + paths.descriptor +
                            " no empieza con dos enteros positivos (lineas y columnas)");
        pair.lines = values[0];
        pair.columns = values[1];
        pair.pixel_size = values[5];
    }
    check_raw_length(paths.raw, pair.lines, pair.columns, 4);
    pair.pixels.assign(pixel_count(pair.lines, pair.columns, paths.raw), 0);
    File raw = open_or_fail(paths.raw, "rb");
    const auto line_bytes = static_cast<std::size_t>(pair.columns) * 4;
    for (int32_t i = 0; i < pair.lines; ++i) {
        int32_t* row = pair.pixels.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(pair.columns);
        if (read_elevation_line(raw.get(), row, pair.columns) != line_bytes)
            throw ToolError("no se puede leer " + paths.raw);
    }
    return pair;
}

MaskPair read_mask_pair(const std::string& name) {
    const PairPaths paths = paths_of(name, false);
    MaskPair pair;
    read_pair_size(name, false, pair.lines, pair.columns);
    pair.pixels.assign(pixel_count(pair.lines, pair.columns, paths.raw), 0);
    File raw = open_or_fail(paths.raw, "rb");
    const auto line_bytes = static_cast<std::size_t>(pair.columns);
    for (int32_t i = 0; i < pair.lines; ++i) {
        unsigned char* row = pair.pixels.data() + static_cast<std::size_t>(i) * line_bytes;
        if (read_mask_line(raw.get(), row, pair.columns) != line_bytes) throw ToolError("no se puede leer " + paths.raw);
    }
    return pair;
}

void write_elevation_pair(const std::string& name, const ElevationPair& pair) {
    const PairPaths paths = paths_of(name, true);
    File raw = open_or_fail(paths.raw, "wb");  // nothing of the user's is touched when this fails
    try {
        bool written = true;
        for (int32_t i = 0; i < pair.lines && written; ++i)
            written = write_elevation_line(
                raw.get(), pair.pixels.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(pair.columns),
                pair.columns);
        finish(raw, paths.raw, written);

        const auto [low, high] = std::minmax_element(pair.pixels.begin(), pair.pixels.end());
        const int32_t values[6] = {pair.lines, pair.columns, 4, *low, *high, pair.pixel_size};
        File descriptor = open_or_fail(paths.descriptor, "w");
        const bool described = write_six_descriptor(descriptor.get(), values);
        finish(descriptor, paths.descriptor, described);
    } catch (const ToolError&) {
        remove_pair(paths);
        throw;
    }
}

void write_mask_pair(const std::string& name, const MaskPair& pair) {
    const PairPaths paths = paths_of(name, false);
    File raw = open_or_fail(paths.raw, "wb");  // nothing of the user's is touched when this fails
    try {
        const bool written = std::fwrite(pair.pixels.data(), 1, pair.pixels.size(), raw.get()) == pair.pixels.size();
        finish(raw, paths.raw, written);
        File descriptor = open_or_fail(paths.descriptor, "w");
        const bool described = std::fprintf(descriptor.get(), "%d\n%d\n", pair.lines, pair.columns) > 0;
        finish(descriptor, paths.descriptor, described);
    } catch (const ToolError&) {
        remove_pair(paths);
        throw;
    }
}
