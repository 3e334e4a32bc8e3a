// An 8-bit RGB picture held in memory, pixel (x, y) from the top-left.
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

static_assert(sizeof(Rgb) == 3, "preview bands step over packed Rgb triples");

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    RgbImage(int w, int h, Rgb background)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), background) {}

    // Drawing outside the picture is ignored, so labels may be clipped safely.
    void set(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                colour;
    }
    Rgb at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};
