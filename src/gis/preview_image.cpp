#include "gis/preview_image.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "gis/bitmap_font.hpp"

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

uint8_t channel(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

int preview_width(int columns) { return std::max(columns, kMinimumPreviewWidth); }

RgbImage compose_preview(const PreviewLayers& layers) {
    RgbImage image(preview_width(layers.columns), layers.lines + kLegendHeight, kWhite);
    for (int i = 0; i < layers.lines; ++i) {
        for (int j = 0; j < layers.columns; ++j) {
            const std::size_t k =
                static_cast<std::size_t>(i) * static_cast<std::size_t>(layers.columns) + static_cast<std::size_t>(j);
            const double light = (std::max<int>(layers.shade[k], 1) - 1) / 254.0;
            if (layers.tinted[k] == 0) {
                // Some ambient light keeps slopes facing away readable.
                const uint8_t grey = channel(40.0 + 215.0 * light);
                image.set(j, i, {grey, grey, grey});
                continue;
            }
            // The shading shows through the tint, but never darkens it to grey.
            const Rgb colour = layers.colours[k];
            const double lit = 0.6 + 0.4 * light;
            image.set(j, i, {channel(colour.r * lit), channel(colour.g * lit), channel(colour.b * lit)});
        }
    }

    const int top = layers.lines + 3;
    const int bar_left = kLegendMargin;
    const int bar_right = image.width - 1 - kLegendMargin;
    for (int x = bar_left; x <= bar_right && static_cast<std::size_t>(x - bar_left) < layers.ramp.size(); ++x)
        for (int y = top; y < top + 8; ++y) image.set(x, y, layers.ramp[static_cast<std::size_t>(x - bar_left)]);
    if (layers.range) {
        const std::string low_text = std::to_string(layers.range->first);
        const std::string high_text = std::to_string(layers.range->second);
        // Large digits when both labels fit side by side, smaller ones otherwise.
        const int room = bar_right + 1 - bar_left;
        const int scale = text_width(low_text, 3) + text_width(high_text, 3) + 12 <= room ? 3 : 2;
        draw_text(image, bar_left, top + 11, low_text, scale, kBlack);
        draw_text(image, bar_right + 1 - text_width(high_text, scale), top + 11, high_text, scale, kBlack);
    }
    return image;
}
