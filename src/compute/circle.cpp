#include "band_table_search.hpp"
#include "product_search.hpp"

// One search on its own: the band-table walk costs nothing to set up, where
// the fast search would first measure the whole grid's distances to the tone,
// a cost that only pays back over the many searches of the computation.
double circle(Run& run, int32_t i, int32_t j, unsigned char** tab, int32_t tono) {
    const RingHit hit = BandTableSearch(tab, run.nb_lig, run.nb_col, tono).find(i, j);
    run.m2 = hit.m2;
    run.n2 = hit.n2;
    return hit.dist;
}
