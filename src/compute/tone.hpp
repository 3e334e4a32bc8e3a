// A grey tone as the user gives it: a whole number that marks the pixels of a
// mask holding that 8-bit value. The pixel is widened and compared with the
// whole number, so a tone outside 0..255 marks no pixel at all. This is the
// one place that rule is written; the computation takes its tones through it.
#pragma once

#include <cstdint>

class Tone {
public:
    // The tone of an answer (any 32-bit value).
    explicit Tone(int32_t answer) : marks_(answer >= 0 && answer <= 255), value_(static_cast<unsigned char>(answer)) {}

    // False: no pixel holds it (every search for it misses).
    bool marks_pixels() const { return marks_; }
    // The byte a pixel holds when marked; meaningful only when marks_pixels().
    unsigned char value() const { return value_; }
    bool marks(unsigned char pixel) const { return marks_ && pixel == value_; }

private:
    bool marks_;
    unsigned char value_;
};
