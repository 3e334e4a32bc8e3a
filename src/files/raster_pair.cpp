#include "files/raster_pair.hpp"

#include <cctype>
#include <cstdlib>
#include <limits>
#include <vector>

void swap_pixel_bytes(int32_t* values, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        const auto v = static_cast<uint32_t>(values[k]);
        values[k] = static_cast<int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
    }
}

std::string host_image_root() {
    const char* configured = std::getenv("LORVANTIDE_IMAGES");
    std::string root = (configured != nullptr && *configured != '\0') ? configured : "images";
    if (root.back() != '/') root += '/';
    return root;
}

std::string host_name(const std::string& typed) {
    std::string name = typed;
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

PairPaths pair_paths(const std::string& folder_prefix, const std::string& typed_name, PairKind kind) {
    const std::string base = folder_prefix + host_name(typed_name);
    if (kind == PairKind::elevation) return {base + "_m4.raw", base + "_m4.txt"};
    return {base + ".raw", base + ".txt"};
}

int read_descriptor_ints(std::FILE* f, int32_t* values, int wanted) {
    int count = 0;
    while (count < wanted) {
        int c = std::fgetc(f);
        while (c != EOF && std::isspace(c)) c = std::fgetc(f);
        if (c == EOF) break;
        bool negative = false;
        if (c == '+' || c == '-') {
            negative = (c == '-');
            c = std::fgetc(f);
        }
        if (c == EOF || !std::isdigit(c)) break;
        long long magnitude = 0;
        bool overflow = false;
        while (c != EOF && std::isdigit(c)) {
            magnitude = magnitude * 10 + (c - '0');
            if (magnitude > 2147483648LL) {
                overflow = true;
                magnitude = 2147483648LL;
            }
            c = std::fgetc(f);
        }
        if (c != EOF) std::ungetc(c, f);
        const long long value = negative ? -magnitude : magnitude;
        if (overflow || value > std::numeric_limits<int32_t>::max()) break;
        values[count++] = static_cast<int32_t>(value);
    }
    return count;
}

bool write_six_descriptor(std::FILE* f, const int32_t values[6]) {
    return std::fprintf(f, "%d\n%d\n%d\n%d\n%d\n%d\n", values[0], values[1], values[2], values[3], values[4],
                        values[5]) > 0 &&
           std::ferror(f) == 0;
}

std::size_t read_elevation_line(std::FILE* f, int32_t* row, int32_t nb_col) {
    const std::size_t got = std::fread(row, 1, static_cast<std::size_t>(nb_col) * sizeof(int32_t), f);
    if constexpr (!kLittleEndianHost) swap_pixel_bytes(row, static_cast<std::size_t>(nb_col));
    return got;
}

std::size_t read_mask_line(std::FILE* f, unsigned char* row, int32_t nb_col) {
    return std::fread(row, 1, static_cast<std::size_t>(nb_col), f);
}

bool write_elevation_line(std::FILE* f, const int32_t* row, int32_t nb_col) {
    const auto count = static_cast<std::size_t>(nb_col);
    if constexpr (kLittleEndianHost) {
        return std::fwrite(row, sizeof(int32_t), count, f) == count;
    } else {
        std::vector<int32_t> swapped(row, row + count);
        swap_pixel_bytes(swapped.data(), count);
        return std::fwrite(swapped.data(), sizeof(int32_t), count, f) == count;
    }
}
