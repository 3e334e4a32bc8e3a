// A 3x5 pixel font of the characters an elevation label needs (digits, minus
// sign, point), so the legend needs no font library.
#pragma once

#include <string>

#include "gis/rgb_image.hpp"

inline constexpr int kGlyphWidth = 3;
inline constexpr int kGlyphHeight = 5;

// Width in pixels of `text` drawn at `scale`, one blank glyph column between characters.
int text_width(const std::string& text, int scale);

// Characters outside the font are drawn as blanks.
void draw_text(RgbImage& image, int x, int y, const std::string& text, int scale, Rgb colour);
