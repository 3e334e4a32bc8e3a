#include "product_search.hpp"

double circle(Run& run, int32_t i, int32_t j, unsigned char** tab, int32_t tono) {
    const RingHit hit = ProductSearch(tab, run.nb_lig, run.nb_col, tono).find(i, j);
    run.m2 = hit.m2;
    run.n2 = hit.n2;
    return hit.dist;
}
