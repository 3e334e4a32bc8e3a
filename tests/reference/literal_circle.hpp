// The ring search exactly as it has always been walked: one sin and one cos
// per sample, every ring from radius 1. Slow and obviously right; every faster
// search in the product is proved against it.
#pragma once

#include <cstdint>

#include "compute/ring_search.hpp"

RingHit literal_circle(int32_t i, int32_t j, unsigned char* const* tab, int32_t tono, int32_t nb_lig,
                       int32_t nb_col);
