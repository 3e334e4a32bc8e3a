// The arithmetic that gives a channel pixel its elevation. Every rule is
// evaluated in extended precision from its double operands, in the order
// written, and rounded to double once, when the caller stores it: the results
// are part of the program's contract, bit for bit.
#pragma once

#include <cstdint>

// The distance interpolation ((A1 - A2) / (D1 + D2)) * D2 + A2: from the base
// elevation A2 at the lower boundary (distance D2) towards the contour
// altitude A1 (distance D1), in the ratio D2 : (D1 + D2).
double distance_interpolation(double A1, double A2, double D1, double D2);

// The base elevation of a railing pixel: the slope elevation less the railing
// height. The difference is a whole number; one that leaves the signed 32-bit
// range is held at the nearest end of it rather than wrapping round.
double railing_base(int32_t slope_elevation, int32_t alti_bar);

// The mean of ico neighbour elevations whose double sum is tot_alti (ico >= 1).
double neighbour_mean(double tot_alti, int32_t ico);
