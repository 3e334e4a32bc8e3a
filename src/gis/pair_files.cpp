#include "gis/pair_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "gis/memory_budget.hpp"
#include "files/raster_pair.hpp"
#include "files/regular_file.hpp"
#include "gis/tool_error.hpp"

namespace {

PairPaths paths_of(const std::string& name, bool elevation) {
    return pair_paths("", name, elevation ? PairKind::elevation : PairKind::mask);
}

File open_or_fail(const std::string& path, const char* mode) {
    File file;
    switch (open_regular_input(path, mode, file)) {
        case InputOpen::ok:
            return file;
        case InputOpen::not_regular:
            throw ToolError(path + " no es un archivo normal");
        case InputOpen::missing:
            break;
        case InputOpen::denied:
        case InputOpen::failed:
            throw ToolError("no se puede leer el archivo " + path + ": " + std::strerror(errno));
    }
    throw ToolError("no existe o no se puede leer el archivo " + path);
}

// The pixel count of a size already known to be positive, refused when the
// process could not hold it.
std::size_t pixel_count(int32_t lines, int32_t columns, std::size_t bytes_per_pixel, const std::string& where) {
    require_memory(raster_bytes(lines, columns, bytes_per_pixel), "leer " + where);
    return static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns);
}

void check_regular(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) throw ToolError("no existe o no se puede leer el archivo " + path);
    if (!std::filesystem::is_regular_file(status)) throw ToolError(path + " no es un archivo normal");
}

void check_raw_length(const std::string& raw, int32_t lines, int32_t columns, std::size_t bytes_per_pixel) {
    check_regular(raw);
    std::error_code error;
    const auto length = std::filesystem::file_size(raw, error);
    if (error) throw ToolError("no existe o no se puede leer el archivo " + raw);
    const auto wanted = raster_bytes(lines, columns, bytes_per_pixel);
    if (length < wanted)
        throw ToolError("el archivo " + raw + " tiene " + std::to_string(length) + " bytes y su descriptor pide " +
                        std::to_string(wanted));
}

PairOutputs add_pair(OutputSet& outputs, const std::string& name, bool elevation) {
    const PairPaths paths = paths_of(name, elevation);
    PairOutputs files;
    files.raw = outputs.add_file(paths.raw);
    files.descriptor = outputs.add_file(paths.descriptor);
    return files;
}

// The descriptor's first `count` integers (the rest of `values` as it was),
// refused unless the lines and columns are positive; then the raw file is
// checked to hold them.
void read_descriptor(const PairPaths& paths, bool elevation, int32_t* values, int count) {
    check_regular(paths.descriptor);
    File descriptor = open_or_fail(paths.descriptor, "r");
    if (read_descriptor_ints(descriptor.get(), values, count) < 2 || values[0] <= 0 || values[1] <= 0)
        throw ToolError("el descriptor " + paths.descriptor + " no empieza con dos enteros positivos (lineas y columnas)");
    descriptor.reset();
    check_raw_length(paths.raw, values[0], values[1], elevation ? 4 : 1);
}

}  // namespace

std::string elevation_raw_path(const std::string& name) { return paths_of(name, true).raw; }
std::string mask_raw_path(const std::string& name) { return paths_of(name, false).raw; }

std::vector<std::string> elevation_pair_files(const std::string& name) {
    const PairPaths paths = paths_of(name, true);
    return {paths.raw, paths.descriptor, name + "_m4.vrt"};
}

std::vector<std::string> mask_pair_files(const std::string& name) {
    const PairPaths paths = paths_of(name, false);
    return {paths.raw, paths.descriptor};
}

PairOutputs add_elevation_pair(OutputSet& outputs, const std::string& name) { return add_pair(outputs, name, true); }
PairOutputs add_mask_pair(OutputSet& outputs, const std::string& name) { return add_pair(outputs, name, false); }

void read_pair_size(const std::string& name, bool elevation, int32_t& lines, int32_t& columns) {
    int32_t values[2] = {0, 0};
    read_descriptor(paths_of(name, elevation), elevation, values, 2);
    lines = values[0];
    columns = values[1];
}

ElevationPair read_elevation_pair(const std::string& name) {
    const PairPaths paths = paths_of(name, true);
    ElevationPair pair;
    int32_t values[6] = {0, 0, 0, 0, 0, 0};
    read_descriptor(paths, true, values, 6);
    pair.lines = values[0];
    pair.columns = values[1];
    pair.pixel_size = values[5];
    pair.pixels.assign(pixel_count(pair.lines, pair.columns, 4, paths.raw), 0);
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
    pair.pixels.assign(pixel_count(pair.lines, pair.columns, 1, paths.raw), 0);
    File raw = open_or_fail(paths.raw, "rb");
    const auto line_bytes = static_cast<std::size_t>(pair.columns);
    for (int32_t i = 0; i < pair.lines; ++i) {
        unsigned char* row = pair.pixels.data() + static_cast<std::size_t>(i) * line_bytes;
        if (read_mask_line(raw.get(), row, pair.columns) != line_bytes) throw ToolError("no se puede leer " + paths.raw);
    }
    return pair;
}

void write_elevation_pair(const PairOutputs& files, const ElevationPair& pair) {
    write_output(files.raw, "wb", [&pair](std::FILE* raw) {
        for (int32_t i = 0; i < pair.lines; ++i)
            if (!write_elevation_line(
                    raw, pair.pixels.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(pair.columns),
                    pair.columns))
                return false;
        return true;
    });
    const auto [low, high] = std::minmax_element(pair.pixels.begin(), pair.pixels.end());
    const int32_t values[6] = {pair.lines, pair.columns, 4, *low, *high, pair.pixel_size};
    write_output(files.descriptor, "w",
                 [&values](std::FILE* descriptor) { return write_six_descriptor(descriptor, values); });
}

void write_mask_pair(const PairOutputs& files, const MaskPair& pair) {
    write_output(files.raw, "wb", [&pair](std::FILE* raw) {
        return std::fwrite(pair.pixels.data(), 1, pair.pixels.size(), raw) == pair.pixels.size();
    });
    write_output(files.descriptor, "w", [&pair](std::FILE* descriptor) {
        return std::fprintf(descriptor, "%d\n%d\n", pair.lines, pair.columns) > 0;
    });
}

void save_elevation_pair(const std::string& name, const ElevationPair& pair) {
    OutputSet outputs(true);
    const PairOutputs files = add_elevation_pair(outputs, name);
    write_elevation_pair(files, pair);
    Warnings warnings(stderr, true);
    outputs.commit(warnings);
}

void save_mask_pair(const std::string& name, const MaskPair& pair) {
    OutputSet outputs(true);
    const PairOutputs files = add_mask_pair(outputs, name);
    write_mask_pair(files, pair);
    Warnings warnings(stderr, true);
    outputs.commit(warnings);
}

void require_tone(const MaskPair& mask, int tone, const std::string& name) {
    if (std::none_of(mask.pixels.begin(), mask.pixels.end(), [tone](uint8_t v) { return v == tone; }))
        throw ToolError("ningun pixel de la mascara " + name + " tiene el tono " + std::to_string(tone));
}

namespace {

void require_size(int32_t lines, int32_t columns, const std::string& name, const ElevationPair& pair,
                  const std::string& pair_name) {
    if (lines != pair.lines || columns != pair.columns)
        throw ToolError(name + " (" + std::to_string(columns) + " columnas x " + std::to_string(lines) +
                        " lineas) no tiene el tamano de " + pair_name + " (" + std::to_string(pair.columns) +
                        " columnas x " + std::to_string(pair.lines) + " lineas)");
}

}  // namespace

void require_same_size(const MaskPair& mask, const std::string& mask_name, const ElevationPair& pair,
                       const std::string& pair_name) {
    require_size(mask.lines, mask.columns, mask_name, pair, pair_name);
}

void require_same_size(const ElevationPair& other, const std::string& other_name, const ElevationPair& pair,
                       const std::string& pair_name) {
    require_size(other.lines, other.columns, other_name, pair, pair_name);
}
