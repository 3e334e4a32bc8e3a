#include "tests/support/raster_files.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tests/support/temp_folder.hpp"

std::string little_endian_int32s(const std::vector<int32_t>& values) {
    std::string bytes;
    bytes.reserve(values.size() * 4);
    for (int32_t v : values) {
        const auto u = static_cast<uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 0xFFu));
    }
    return bytes;
}

std::vector<int32_t> int32s_from_little_endian(const std::string& bytes) {
    if (bytes.size() % 4 != 0) throw std::runtime_error("not a whole number of 32-bit pixels");
    std::vector<int32_t> values(bytes.size() / 4);
    for (std::size_t k = 0; k < values.size(); ++k) {
        uint32_t u = 0;
        for (int b = 3; b >= 0; --b) u = (u << 8) | static_cast<unsigned char>(bytes[k * 4 + static_cast<std::size_t>(b)]);
        values[k] = static_cast<int32_t>(u);
    }
    return values;
}

void write_elevation_pair(const std::string& folder, const std::string& name, int32_t lines, int32_t columns,
                          const std::vector<int32_t>& values, int32_t pix_size) {
    std::filesystem::create_directories(folder);
    const auto [lo, hi] = values.empty() ? std::pair<int32_t, int32_t>{0, 0}
                                         : std::pair{*std::min_element(values.begin(), values.end()),
                                                     *std::max_element(values.begin(), values.end())};
    write_file(folder + "/" + name + "_m4.raw", little_endian_int32s(values));
    write_file(folder + "/" + name + "_m4.txt", std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n" +
                                                    std::to_string(lo) + "\n" + std::to_string(hi) + "\n" +
                                                    std::to_string(pix_size) + "\n");
}

void write_mask_pair(const std::string& folder, const std::string& name, int32_t lines, int32_t columns,
                     const std::vector<unsigned char>& tones) {
    std::filesystem::create_directories(folder);
    write_file(folder + "/" + name + ".raw", std::string(tones.begin(), tones.end()));
    write_file(folder + "/" + name + ".txt", std::to_string(lines) + "\n" + std::to_string(columns) + "\n");
}

std::string result_descriptor(int32_t lines, int32_t columns, const std::vector<int32_t>& raster, int32_t pix_size) {
    int32_t min = 1000000;
    int32_t max = 0;
    for (const int32_t v : raster) {
        if (v < min) min = v;
        if (v > max) max = v;
    }
    return std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n" + std::to_string(min) + "\n" +
           std::to_string(max) + "\n" + std::to_string(pix_size) + "\n";
}

std::vector<int32_t> rounded_raster(const std::vector<std::vector<double>>& dtab) {
    std::vector<int32_t> out;
    for (const auto& row : dtab)
        for (const double v : row) out.push_back(static_cast<int32_t>(static_cast<long double>(v) + 0.5L));
    return out;
}

std::string RunAnswers::text() const {
    std::string t = folder + "\n" + slope + "\n" + railing + "\n" + channel + "\n" + contour + "\n" + presence + "\n";
    if (presence == "1") t += perimeter + "\n";
    t += result + "\n" + tono_cauce + "\n" + tono_bar + "\n" + alti_bar + "\n" + tono_lim + "\n" + alti_lim + "\n";
    if (presence == "1") t += tono_perim + "\n";
    return t;
}

void write_scenario(const std::string& images_root, int32_t lines, int32_t columns) {
    const std::string folder = images_root + "/rio1";
    const auto pixels = static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns);
    std::vector<int32_t> slope(pixels);
    std::vector<unsigned char> railing(pixels), channel(pixels), contour(pixels), perimeter(pixels);
    const int32_t middle = lines / 2;
    for (int32_t i = 0; i < lines; ++i) {
        for (int32_t j = 0; j < columns; ++j) {
            const auto k = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j);
            slope[k] = 120 - j;
            if (i == middle) railing[k] = 255;
            else if (i == 0 || i == lines - 1) contour[k] = 255;
            else channel[k] = 255;
        }
    }
    if (pixels > 0) perimeter[pixels - 1] = 255;
    write_elevation_pair(folder, "valle", lines, columns, slope);
    write_mask_pair(folder, "bar", lines, columns, railing);
    write_mask_pair(folder, "cauce", lines, columns, channel);
    write_mask_pair(folder, "curva", lines, columns, contour);
    write_mask_pair(folder, "lago", lines, columns, perimeter);
}
