#include "pixel_interpolation.hpp"

#include "elevation_rules.hpp"

DistanceInterpolation::DistanceInterpolation(Run& run)
    : run_(run),
      A1_(static_cast<double>(run.alti_lim)),
      contour_(run.tab_curv, run.nb_lig, run.nb_col, run.tono_lim),
      boundary_(run.tab_lim_inf, run.nb_lig, run.nb_col, 1) {}

void DistanceInterpolation::apply(int32_t i, int32_t j) {
    const RingHit line = contour_.find(i, j);
    apply(i, j, SearchPair{line, boundary_.find(i, j)});
}

std::vector<SearchPair> DistanceInterpolation::search(const std::vector<SearchCentre>& centres,
                                                      int32_t threads) const {
    return find_pairs(contour_, boundary_, centres, threads);
}

void DistanceInterpolation::apply(int32_t i, int32_t j, const SearchPair& pair) {
    const RingHit& line = pair.contour;
    const RingHit& base = pair.boundary;
    // The boundary search, made second, leaves its position last.
    run_.m2 = base.m2;
    run_.n2 = base.n2;

    if (!line.found()) ++contour_misses_;
    if (!base.found()) {
        ++boundary_misses_;
        run_.dtab[i][j] = A1_;
        return;
    }
    // The slope model holds the top of a railing, which stands alti_bar above
    // the channel bed; a pixel that is both railing and perimeter counts as railing.
    const int32_t slope = run_.itab_in[base.m2][base.n2];
    const double A2 = static_cast<int32_t>(run_.tab_bar[base.m2][base.n2]) == run_.tono_bar
                          ? railing_base(slope, run_.alti_bar)
                          : static_cast<double>(slope);
    run_.dtab[i][j] = line.found() ? distance_interpolation(A1_, A2, line.dist, base.dist) : A2;
}
