// What the computation reads: the input rasters and the user's answers.
#pragma once

#include <cstdint>

#include "compute/tone.hpp"
#include "lib/grid.hpp"

// The user's answers that the computation uses. Tones are whole numbers
// compared with the 8-bit pixels widened (tone.hpp); heights are in the slope
// model's altitude scale.
struct ChannelParameters {
    int32_t zone_tone = 0;       // the channel zone in the zone mask
    int32_t railing_tone = 0;    // the railing (river banks) in the railing mask
    int32_t contour_tone = 0;    // the limiting contour line in the contour mask
    int32_t perimeter_tone = 0;  // the water-body perimeter (read only with water bodies)
    int32_t railing_height = 0;  // how far the railing stands above the channel bed
    int32_t contour_altitude = 0;
    bool water_bodies = false;
};

// The input rasters, each of the size of ChannelWindow::inputs; `perimeter`
// is read (and needed) only with water bodies. `contour_altitudes`, when
// given, holds an altitude for each contour pixel (in the slope model's
// scale): the interpolation then takes the altitude of the contour pixel that
// its search met instead of parameters.contour_altitude, which still serves a
// pixel whose searches met neither the contour nor the lower boundary. Left
// empty (the console program's case), nothing changes.
struct ChannelInputs {
    GridView<const int32_t> slope;            // the slope model: elevations
    GridView<const unsigned char> railing;    // the river banks
    GridView<const unsigned char> zone;       // the channel zone
    GridView<const unsigned char> contour;    // the limiting contour line
    GridView<const unsigned char> perimeter;  // the water bodies' shores
    GridView<const int32_t> contour_altitudes = {};  // read only at contour pixels
};

// The parameters' tones, each taken once through the one rule of tone.hpp;
// without water bodies the perimeter's tone marks nothing, so its grid is
// never read.
struct ChannelTones {
    explicit ChannelTones(const ChannelParameters& parameters)
        : zone(parameters.zone_tone),
          railing(parameters.railing_tone),
          contour(parameters.contour_tone),
          perimeter(parameters.water_bodies ? parameters.perimeter_tone : -1) {}
    Tone zone, railing, contour, perimeter;
};
