#include "gis/bitmap_font.hpp"

namespace {

// Five rows of three bits each, the leftmost column in the highest bit.
struct Glyph {
    char c;
    unsigned char rows[kGlyphHeight];
};

constexpr Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'-', {0, 0, 7, 0, 0}}, {'.', {0, 0, 0, 0, 2}},
};

const Glyph* find_glyph(char c) {
    for (const Glyph& glyph : kGlyphs)
        if (glyph.c == c) return &glyph;
    return nullptr;
}

}  // namespace

int text_width(const std::string& text, int scale) {
    if (text.empty()) return 0;
    return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

void draw_text(RgbImage& image, int x, int y, const std::string& text, int scale, Rgb colour) {
    for (std::size_t k = 0; k < text.size(); ++k) {
        const Glyph* glyph = find_glyph(text[k]);
        const int left = x + static_cast<int>(k) * (kGlyphWidth + 1) * scale;
        if (glyph == nullptr) continue;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if ((glyph->rows[row] >> (kGlyphWidth - 1 - column)) & 1u)
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            image.set(left + column * scale + dx, y + row * scale + dy, colour);
    }
}
