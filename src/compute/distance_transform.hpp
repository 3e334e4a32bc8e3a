// Exact Euclidean distance from every pixel of an 8-bit grid to the nearest
// pixel of one grey tone, kept in eighths of a pixel and rounded down, so that
// every stored value is a lower bound of the true distance (and 0 exactly on
// the pixels of the tone).
//
// Two sweeps down and up the lines give, per column, the distance to the
// nearest pixel of the tone in that column; one lower-envelope pass per line
// (Meijster, Roerdink and Hesselink) then gives the exact squared distance in
// integers. Cost: a few operations per pixel; the only storage beyond the
// result is a few vectors of one line.
#pragma once

#include <cstdint>

// The largest stored value: 8191.875 pixels or farther (a lower bound still).
inline constexpr uint16_t kFarAway = 65535;

// Fills dist (nb_lig * nb_col values, line after line) and tells whether the
// grid holds the tone at all. Distances between pixels are measured between
// their whole-number coordinates (line, column).
bool tone_distance_eighths(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono,
                           uint16_t* dist);
