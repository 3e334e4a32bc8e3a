// The values a conditioned model can hold once written: offset + scale x raw,
// where raw is what the band's pixel type stores (a float, a double or an
// integer). The hydrology pass makes every value it sets one of these, so that
// the order it builds (a river that descends pixel by pixel, a slope out of
// every pit) is the order of the values written: a rounding at writing time
// could otherwise turn a drop of a hundredth into a flat. Its steps are the
// smallest the band can tell apart: one ulp of a float, one unit of an
// integer band (times its scale).
#pragma once

class ValueLattice {
public:
    enum class Raw { real32, real64, integer };

    ValueLattice() = default;
    // `scale` is not 0.
    ValueLattice(Raw raw, double scale, double offset) : raw_(raw), scale_(scale), offset_(offset) {}

    // The value of the lattice nearest to v.
    double nearest(double v) const;
    // The largest value of the lattice at or below v.
    double at_most(double v) const;
    // The next value of the lattice above, or below, the lattice value v.
    double above(double v) const;
    double below(double v) const;

private:
    double raw_nearest(double raw) const;
    double step(double v, bool up) const;

    Raw raw_ = Raw::real64;
    double scale_ = 1.0;
    double offset_ = 0.0;
};
