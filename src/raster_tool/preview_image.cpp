#include "preview_image.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "bitmap_font.hpp"

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

uint8_t channel(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

std::vector<double> hillshade(const ElevationPair& relief, double z_factor) {
    const int lines = relief.lines;
    const int columns = relief.columns;
    const double pixel = (relief.pixel_size > 0 ? relief.pixel_size : 1.0) / z_factor;
    const double zenith = std::numbers::pi / 4.0;
    const double azimuth = (360.0 - 315.0 + 90.0) * std::numbers::pi / 180.0;
    auto z = [&](int i, int j) {
        i = std::clamp(i, 0, lines - 1);
        j = std::clamp(j, 0, columns - 1);
        return static_cast<double>(
            relief.pixels[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j)]);
    };
    std::vector<double> shade(relief.pixels.size());
    for (int i = 0; i < lines; ++i) {
        for (int j = 0; j < columns; ++j) {
            const double dzdx = ((z(i - 1, j + 1) + 2 * z(i, j + 1) + z(i + 1, j + 1)) -
                                 (z(i - 1, j - 1) + 2 * z(i, j - 1) + z(i + 1, j - 1))) /
                                (8.0 * pixel);
            const double dzdy = ((z(i + 1, j - 1) + 2 * z(i + 1, j) + z(i + 1, j + 1)) -
                                 (z(i - 1, j - 1) + 2 * z(i - 1, j) + z(i - 1, j + 1))) /
                                (8.0 * pixel);
            const double slope = std::atan(std::hypot(dzdx, dzdy));
            const double aspect = std::atan2(dzdy, -dzdx);
            const double light = std::cos(zenith) * std::cos(slope) +
                                 std::sin(zenith) * std::sin(slope) * std::cos(azimuth - aspect);
            shade[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j)] =
                std::clamp(light, 0.0, 1.0);
        }
    }
    return shade;
}

Rgb ramp_colour(double t) {
    static constexpr Rgb stops[] = {{30, 70, 200}, {0, 170, 210}, {50, 170, 60}, {235, 210, 40}, {210, 50, 30}};
    constexpr int last = static_cast<int>(std::size(stops)) - 1;
    t = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * last;
    const int k = std::min(static_cast<int>(t), last - 1);
    const double f = t - k;
    const Rgb a = stops[k];
    const Rgb b = stops[k + 1];
    return {channel(a.r + (b.r - a.r) * f), channel(a.g + (b.g - a.g) * f), channel(a.b + (b.b - a.b) * f)};
}

RgbImage compose_preview(const ElevationPair& values, const ElevationPair& relief, const MaskPair* mask, int tone,
                         double z_factor) {
    const std::size_t count = values.pixels.size();
    auto tinted = [&](std::size_t k) { return mask == nullptr || static_cast<int>(mask->pixels[k]) == tone; };

    int32_t low = std::numeric_limits<int32_t>::max();
    int32_t high = std::numeric_limits<int32_t>::min();
    for (std::size_t k = 0; k < count; ++k)
        if (tinted(k)) {
            low = std::min(low, values.pixels[k]);
            high = std::max(high, values.pixels[k]);
        }
    const bool any_tinted = low <= high;

    RgbImage image(std::max(values.columns, kMinimumPreviewWidth), values.lines + kLegendHeight, kWhite);
    const std::vector<double> shade = hillshade(relief, z_factor);
    const double span = any_tinted && high > low ? static_cast<double>(high) - low : 1.0;
    for (int i = 0; i < values.lines; ++i) {
        for (int j = 0; j < values.columns; ++j) {
            const std::size_t k =
                static_cast<std::size_t>(i) * static_cast<std::size_t>(values.columns) + static_cast<std::size_t>(j);
            if (!tinted(k)) {
                // Some ambient light keeps slopes facing away readable.
                const uint8_t grey = channel(40.0 + 215.0 * shade[k]);
                image.set(j, i, {grey, grey, grey});
                continue;
            }
            // The shading shows through the tint, but never darkens it to grey.
            const Rgb colour = ramp_colour((values.pixels[k] - static_cast<double>(low)) / span);
            const double light = 0.6 + 0.4 * shade[k];
            image.set(j, i, {channel(colour.r * light), channel(colour.g * light), channel(colour.b * light)});
        }
    }

    const int top = values.lines + 3;
    const int bar_left = 4;
    const int bar_right = image.width - 5;
    for (int x = bar_left; x <= bar_right; ++x) {
        const Rgb colour = ramp_colour(static_cast<double>(x - bar_left) / (bar_right - bar_left));
        for (int y = top; y < top + 8; ++y) image.set(x, y, colour);
    }
    if (any_tinted) {
        const std::string low_text = std::to_string(low);
        const std::string high_text = std::to_string(high);
        // Large digits when both labels fit side by side, smaller ones otherwise.
        const int room = bar_right + 1 - bar_left;
        const int scale = text_width(low_text, 3) + text_width(high_text, 3) + 12 <= room ? 3 : 2;
        draw_text(image, bar_left, top + 11, low_text, scale, kBlack);
        draw_text(image, bar_right + 1 - text_width(high_text, scale), top + 11, high_text, scale, kBlack);
    }
    return image;
}
