#include "run_state.hpp"

#include "nrutil.hpp"

namespace {
void close_stream(std::FILE*& f) {
    if (f != nullptr) std::fclose(f);
    f = nullptr;
}
}  // namespace

Run::~Run() {
    for (std::FILE** f : {&f1, &f1d, &f2, &f2d, &f3, &f3d, &f4, &f4d, &f5, &f5d, &f6, &f6d}) close_stream(*f);
    frimatrice(itab_in, nb_lig);
    frucmatrice(tab_bar, nb_lig);
    frucmatrice(tab_in, nb_lig);
    frucmatrice(tab_curv, nb_lig);
    frucmatrice(tab_perim, nb_lig);
    frdmatrice(dtab, nb_lig);
    frimatrice(itab_out, nb_lig);
    frucmatrice(tab_lim_inf, nb_lig);
}
