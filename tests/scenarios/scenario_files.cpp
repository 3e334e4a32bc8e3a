#include "tests/scenarios/scenario_files.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

// The host is little-endian, like the file format, so pixels go out as they are.
template <typename Pixel>
bool write_raw(const std::string& path, const std::vector<Pixel>& pixels) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = pixels.empty() || std::fwrite(pixels.data(), sizeof(Pixel), pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

template <typename Pixel>
bool read_raw(const std::string& path, std::vector<Pixel>& pixels, std::size_t count) {
    pixels.assign(count, 0);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const bool ok = count == 0 || std::fread(pixels.data(), sizeof(Pixel), count, f) == count;
    std::fclose(f);
    return ok;
}

std::string size_lines(const Scenario& s) { return std::to_string(s.nb_lig) + "\n" + std::to_string(s.nb_col) + "\n"; }

}  // namespace

bool write_text_file(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool write_scenario_files(const Scenario& s, const std::string& folder) {
    int32_t low = 0, high = 0;
    if (!s.slope.empty()) {
        const auto [min, max] = std::minmax_element(s.slope.begin(), s.slope.end());
        low = *min;
        high = *max;
    }
    bool ok =
        write_raw(folder + "/valle_m4.raw", s.slope) &&
        write_text_file(folder + "/valle_m4.txt", size_lines(s) + "4\n" + std::to_string(low) + "\n" +
                                                      std::to_string(high) + "\n" + std::to_string(s.pix_size) + "\n");
    const std::pair<const char*, const std::vector<uint8_t>*> masks[] = {
        {"bar", &s.railing}, {"cauce", &s.zone}, {"curva", &s.contour}, {"lago", &s.perimeter}};
    for (const auto& [name, mask] : masks) {
        if (mask == &s.perimeter && s.presence != 1) continue;
        ok = ok && write_raw(folder + "/" + name + ".raw", *mask) &&
             write_text_file(folder + "/" + name + ".txt", size_lines(s));
    }
    return ok;
}

bool read_scenario_files(const std::string& folder, Scenario& s) {
    std::ifstream descriptor(folder + "/valle_m4.txt");
    if (!(descriptor >> s.nb_lig >> s.nb_col) || s.nb_lig < 0 || s.nb_col < 0) return false;
    const std::size_t n = s.pixels();
    return read_raw(folder + "/valle_m4.raw", s.slope, n) && read_raw(folder + "/bar.raw", s.railing, n) &&
           read_raw(folder + "/cauce.raw", s.zone, n) && read_raw(folder + "/curva.raw", s.contour, n) &&
           (s.presence != 1 || read_raw(folder + "/lago.raw", s.perimeter, n));
}

std::string scenario_answers(const Scenario& s, const std::string& subfolder, const std::string& result) {
    const ScenarioTones& t = s.tones;
    return subfolder + "\nvalle\nbar\ncauce\ncurva\n" + (s.presence == 1 ? "1\nlago\n" : "0\n") + result + "\n" +
           std::to_string(t.cauce) + "\n" + std::to_string(t.bar) + "\n" + std::to_string(t.alti_bar) + "\n" +
           std::to_string(t.lim) + "\n" + std::to_string(t.alti_lim) + "\n" +
           (s.presence == 1 ? std::to_string(t.perim) + "\n" : "");
}

