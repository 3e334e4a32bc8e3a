#include "hydrology/value_lattice.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

double ValueLattice::raw_nearest(double raw) const {
    switch (raw_) {
        case Raw::real32: return static_cast<double>(static_cast<float>(raw));
        case Raw::integer: return std::round(raw);
        case Raw::real64: break;
    }
    return raw;
}

namespace {

// Doubles are not rounded when written, but their raw value (v - offset) /
// scale is: a step of about 2^-40 of the value stays well clear of that.
double double_step(double v) { return std::ldexp(std::max(std::fabs(v), 1.0), -40); }

}  // namespace

double ValueLattice::nearest(double v) const {
    if (raw_ == Raw::real64) return v;
    return offset_ + scale_ * raw_nearest((v - offset_) / scale_);
}

double ValueLattice::step(double v, bool up) const {
    if (raw_ == Raw::real64) return up ? v + double_step(v) : v - double_step(v);
    const double raw = raw_nearest((v - offset_) / scale_);
    // A larger value is a larger raw value when the scale is positive.
    const bool raw_up = up == (scale_ > 0.0);
    double next = raw;
    switch (raw_) {
        case Raw::real32: {
            const auto single = static_cast<float>(raw);
            next = static_cast<double>(std::nextafter(single, raw_up ? std::numeric_limits<float>::infinity()
                                                                     : -std::numeric_limits<float>::infinity()));
            break;
        }
        case Raw::integer: next = raw + (raw_up ? 1.0 : -1.0); break;
        case Raw::real64: break;
    }
    return offset_ + scale_ * next;
}

double ValueLattice::above(double v) const { return step(v, true); }
double ValueLattice::below(double v) const { return step(v, false); }

double ValueLattice::at_most(double v) const {
    double value = nearest(v);
    while (value > v) value = below(value);
    return value;
}
