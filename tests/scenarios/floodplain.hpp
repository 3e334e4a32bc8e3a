// The floodplain scenario generated one line at a time, so that rasters far
// larger than memory can be written: a meandering river whose two banks are
// the railing (tone 1), a floodplain 100 to 600 pixels wide on each side
// (channel zone, tone 200) up to a limiting contour line (tone 10) on each
// side, six lakes per 4096 x 4096 whose shores are water-body perimeters
// (tone 50), and a slope model descending along the valley, rising up its
// sides, with noise. One valley per 4096 columns, side by side; a smaller
// raster holds one valley scaled down. The same size always gives the same
// rasters, line for line those of the benchmark's in-memory floodplain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/scenarios/scenario.hpp"

struct FloodplainLine {
    std::vector<int32_t> slope;
    std::vector<unsigned char> railing, zone, contour, perimeter;
};

// The tones and heights are those of ScenarioTones.
class Floodplain {
public:
    Floodplain(int32_t lines, int32_t columns);
    // Line i of every raster (the vectors are resized to the columns).
    void line(int32_t i, FloodplainLine& out) const;

    // The answers of a console run over the files write_files writes
    // (sub-folder `folder`, water bodies, result "resultado").
    std::string answers(const std::string& folder) const;
    // Writes valle_m4, bar, cauce, curva and lago under `directory`, line by line.
    void write_files(const std::string& directory) const;

private:
    struct Valley {
        double scale, centre_col;
        double centre(double i) const;
        double half_width(double i) const;
        double left_plain(double i) const;
        double right_plain(double i) const;
        double left_bank(double i) const { return centre(i) - half_width(i); }
        double right_bank(double i) const { return centre(i) + half_width(i); }
        double left_contour(double i) const { return left_bank(i) - left_plain(i); }
        double right_contour(double i) const { return right_bank(i) + right_plain(i); }
    };
    struct Lake {
        double i, j, radius;
    };

    int32_t lines_, columns_;
    double share_;
    std::vector<Valley> valleys_;
    std::vector<Lake> lakes_;
};

// The whole floodplain in memory, as the benchmark holds its scenarios.
Scenario make_floodplain(int32_t lines, int32_t columns);
