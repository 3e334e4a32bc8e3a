#include "bench_files.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

bool write_bytes(const std::string& path, const void* data, std::size_t size, bool append) {
    std::FILE* f = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool write_text(const std::string& path, const std::string& text) {
    return write_bytes(path, text.data(), text.size(), false);
}

bool write_mask(const Run& run, unsigned char* const* tab, const std::string& base) {
    std::FILE* f = std::fopen((base + ".raw").c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    for (int32_t i = 0; i < run.nb_lig; ++i)
        ok = ok && std::fwrite(tab[i], 1, static_cast<std::size_t>(run.nb_col), f) == static_cast<std::size_t>(run.nb_col);
    ok = std::fclose(f) == 0 && ok;
    return ok && write_text(base + ".txt", std::to_string(run.nb_lig) + "\n" + std::to_string(run.nb_col) + "\n");
}

const char* const kInputs[] = {"valle_m4.raw", "bar.raw", "cauce.raw", "curva.raw", "lago.raw"};

}  // namespace

bool write_scenario_files(const Run& run, const std::string& folder) {
    std::FILE* f = std::fopen((folder + "/valle_m4.raw").c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    int32_t low = run.itab_in[0][0], high = low;
    for (int32_t i = 0; i < run.nb_lig; ++i) {
        for (int32_t j = 0; j < run.nb_col; ++j) {
            low = std::min(low, run.itab_in[i][j]);
            high = std::max(high, run.itab_in[i][j]);
        }
        // The host is little-endian, like the file format.
        ok = ok && std::fwrite(run.itab_in[i], 4, static_cast<std::size_t>(run.nb_col), f) ==
                       static_cast<std::size_t>(run.nb_col);
    }
    ok = std::fclose(f) == 0 && ok;
    ok = ok && write_text(folder + "/valle_m4.txt", std::to_string(run.nb_lig) + "\n" + std::to_string(run.nb_col) +
                                                        "\n4\n" + std::to_string(low) + "\n" + std::to_string(high) +
                                                        "\n" + std::to_string(run.pix_size) + "\n");
    ok = ok && write_mask(run, run.tab_bar, folder + "/bar");
    ok = ok && write_mask(run, run.tab_in, folder + "/cauce");
    ok = ok && write_mask(run, run.tab_curv, folder + "/curva");
    ok = ok && write_mask(run, run.tab_perim, folder + "/lago");
    return ok;
}

double io_floor_seconds(const std::string& folder, uint64_t result_bytes) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(1 << 20);
    uint64_t sum = 0;
    for (const char* name : kInputs) {
        std::FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
        if (!f) continue;
        std::size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) sum += static_cast<unsigned char>(buffer[got - 1]);
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

std::string scenario_answers(const ScenarioTones& tones, const std::string& subfolder) {
    return subfolder + "\nvalle\nbar\ncauce\ncurva\n1\nlago\nresultado\n" + std::to_string(tones.cauce) + "\n" +
           std::to_string(tones.bar) + "\n" + std::to_string(tones.alti_bar) + "\n" + std::to_string(tones.lim) +
           "\n" + std::to_string(tones.alti_lim) + "\n" + std::to_string(tones.perim) + "\n";
}
