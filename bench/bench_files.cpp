#include "bench_files.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const char* const kInputs[] = {"valle_m4.raw", "bar.raw", "cauce.raw", "curva.raw", "lago.raw"};

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

bool same_file(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

double io_floor_seconds(const std::string& folder, uint64_t result_bytes) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(1 << 20);
    uint64_t sum = 0;
    for (const char* name : kInputs) {
        std::FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
        if (!f) continue;
        std::size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            sum += static_cast<unsigned char>(buffer[got - 1]);
        std::fclose(f);
    }
    const std::string out = folder + "/floor_m4.raw";
    std::FILE* f = std::fopen(out.c_str(), "wb");
    for (std::size_t k = 0; k < buffer.size(); ++k) buffer[k] = static_cast<char>(sum + k);
    for (uint64_t left = result_bytes; f && left > 0;) {
        const std::size_t chunk = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
        std::fwrite(buffer.data(), 1, chunk, f);
        left -= chunk;
    }
    if (f) std::fclose(f);
    const auto end = std::chrono::steady_clock::now();
    std::remove(out.c_str());
    return std::chrono::duration<double>(end - start).count();
}
