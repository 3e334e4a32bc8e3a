#include "gis/warnings.hpp"

void Warnings::add(const std::string& text) {
    if (keep_) return keep_(text);
    if (!shown_) return;
    if (line_ != nullptr) line_->interrupt();
    std::fprintf(out_, "\n lorvantide-raster: aviso: %s \n", text.c_str());
    std::fflush(out_);
}
