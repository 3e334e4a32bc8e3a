// A benchmark scenario: the five input rasters of a run and the answers that
// go with them, as plain values, line after line. The generators fill it; the
// files, the statistics and the search check read it. Nothing here depends on
// how the program itself holds a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The grey tones and heights typed at the parameter dialog.
struct ScenarioTones {
    int32_t cauce = 200;  // channel zone
    int32_t bar = 1;      // railing (river banks)
    int32_t lim = 10;     // limiting contour line
    int32_t perim = 50;   // water-body shores
    int32_t alti_bar = 150;
    int32_t alti_lim = 62000;
};

struct Scenario {
    std::string name;  // "dense", "sparse", "empty": also the sub-folder of its files
    int32_t nb_lig = 0;
    int32_t nb_col = 0;
    int32_t pix_size = 1;
    int32_t presence = 1;  // water bodies (and so the perimeter raster) present
    ScenarioTones tones;
    // nb_lig * nb_col pixels each, line after line.
    std::vector<int32_t> slope;
    std::vector<uint8_t> railing, zone, contour, perimeter;

    std::size_t pixels() const { return static_cast<std::size_t>(nb_lig) * static_cast<std::size_t>(nb_col); }
    std::size_t at(int64_t i, int64_t j) const { return static_cast<std::size_t>(i * nb_col + j); }
    // Every raster sized and zero.
    void allocate() {
        slope.assign(pixels(), 0);
        for (auto* mask : {&railing, &zone, &contour, &perimeter}) mask->assign(pixels(), 0);
    }
};

// A raster of 0 lines and 0 columns: every file empty, only the descriptors.
inline Scenario empty_scenario() {
    Scenario s;
    s.name = "empty";
    return s;
}
