// A value for "no data" that no pixel with data holds, to name when the value
// a user chose is held by one: declaring it would turn that pixel into
// nodata in every GIS program.
#pragma once

#include <vector>

// The value a band declares for "no data" when the user chooses none: the
// one GIS programs customarily use for elevations.
inline constexpr double kDefaultNodata = -9999.0;

// `preferred` when no element of `held` equals it, otherwise the integer just
// below the lowest held value, or just above the highest, or failing both
// the first integer between held values; always within [low, high].
double free_value(std::vector<double> held, double preferred, double low, double high);
