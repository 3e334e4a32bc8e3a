#include "compute/elevations.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include "lib/nrutil.hpp"

Elevations::Elevations(Elevations&& other) noexcept : spans_(std::move(other.spans_)) {
    other.spans_.clear();
}

Elevations& Elevations::operator=(Elevations&& other) noexcept {
    if (this != &other) {
        release();
        spans_ = std::move(other.spans_);
        other.spans_.clear();
    }
    return *this;
}

Elevations::~Elevations() { release(); }

void Elevations::release() {
    for (Span& span : spans_) frdvecteur(span.values);
    spans_.clear();
}

Elevations Elevations::for_channel(GridView<const unsigned char> zone, Tone zone_tone) {
    Elevations elevations;
    elevations.spans_.resize(static_cast<std::size_t>(std::max(0, zone.lines())));
    if (zone.empty() || !zone_tone.marks_pixels()) return elevations;
    const unsigned char tone = zone_tone.value();
    for (int32_t i = 0; i < zone.lines(); ++i) {
        const unsigned char* row = zone[i];
        const unsigned char* end = row + zone.columns();
        const unsigned char* first = std::find(row, end, tone);
        if (first == end) continue;
        const unsigned char* last = end - 1;
        while (*last != tone) --last;
        Span& span = elevations.spans_[static_cast<std::size_t>(i)];
        span.count = static_cast<int32_t>(last - first + 1);
        span.values = dvecteur(span.count);  // zero-filled
        if (span.values == nullptr) throw std::bad_alloc();  // the elevations made so far go with `elevations`
        span.first = static_cast<int32_t>(first - row);
    }
    return elevations;
}
