// The arithmetic that gives a channel pixel its elevation. Every rule is
// evaluated in extended precision from its double operands, in the order
// written, and rounded to double once, when the caller stores it: the results
// are part of the program's contract, bit for bit.
#pragma once

#include <cstdint>

// The distance interpolation ((contour - base) / (to_contour + to_base)) *
// to_base + base: from the base elevation at the lower boundary (to_base
// pixels away) towards the contour altitude (to_contour pixels away), in the
// ratio to_base : (to_contour + to_base).
double distance_interpolation(double contour_altitude, double base, double to_contour, double to_base);

// The base elevation of a railing pixel: the slope elevation less the railing
// height. The difference is a whole number; one that leaves the signed 32-bit
// range is held at the nearest end of it rather than wrapping round.
double railing_base(int32_t slope_elevation, int32_t railing_height);

// The mean of `count` neighbour elevations whose double sum is `sum` (count >= 1).
double neighbour_mean(double sum, int32_t count);
