// The ring search of the product: the same walk as the literal search, ring by
// ring from radius 1 to 1500 and angle by angle from 0 degrees, but with the
// sine and cosine of every angle of a band taken from a table instead of being
// recomputed at every sample.
//
// Why it is exact: every ring of a band samples the same angles, and the table
// entries are computed with the very expressions of the literal walk (the
// angle accumulated in double by adding the band's step, then sin and cos of
// the double product angle * papi). The sample position is then formed from
// the same three values in the same extended precision, so each sample lands
// on the same pixel, and the first hit, the distance and the last position
// examined are the same.
//
// Cost: one table look-up per sample instead of one sin and one cos; a search
// that meets nothing still examines all 4,107,960 samples.
#pragma once

#include <cstdint>

#include "ring_search.hpp"

class BandTableSearch {
public:
    // Searches `tab` (nb_lig rows of nb_col grey tones) for `tono`. The grid is
    // only read, and only by find; it must outlive the search.
    BandTableSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono);

    // The first pixel of the tone met by the rings around line i, column j.
    // Any centre is accepted; the grid is read only inside the raster.
    RingHit find(int32_t i, int32_t j) const;

private:
    unsigned char* const* tab_;
    int32_t nb_lig_;
    int32_t nb_col_;
    int32_t tono_;
};
