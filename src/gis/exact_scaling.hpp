// Values moved between scales without the error of binary fractions.
//
// A band scale of 0.1, an offset of 100 and --scale 100 are decimals: the
// user or the file wrote them so, and 0.1 means a tenth. A double holds
// them only nearly (0.1 is 0.1000000000000000055...), so a value computed
// from them in doubles may miss an exact half by an ulp: 28095 * 0.01 / 0.1
// is 2809.4999999999995, and an elevation of 280.95 m became 2809 tenths
// instead of 2810. Here each such number is taken as the shortest decimal
// that reads back as its double ("0.1"), each pixel value as the exact
// binary number it is, and the result rounded to the nearest integer,
// halves away from zero, as an exact fraction.
//
// Why the doubles are still used, and give the same integers: the value is
// first computed in doubles. Each of the few operations errs by at most half
// an ulp of its result, and the decimals differ from their doubles by at
// most half an ulp too, so the double result lies within `tolerance` (a few
// ulps of the largest term, taken eight times over) of the exact one. When
// it is farther than that from a half, the exact value is on the same side
// of that half, and rounding the double gives the exact rounding. Only
// values near a half (or beyond what 128-bit fractions hold, which keep the
// rounding of the doubles) are computed exactly. So the exact rounding is
// had at the cost of the doubles for nearly every pixel.
#pragma once

#include <optional>

// A fraction numerator / denominator (denominator > 0) in 128 bits, or none
// when an operation would overflow.
class Fraction {
public:
    // The shortest decimal that reads back as `value` ("0.1" for 0.1), exactly.
    static std::optional<Fraction> decimal(double value);
    // The double itself, exactly (a binary fraction).
    static std::optional<Fraction> binary(double value);
    static Fraction integer(long long value) { return Fraction(value, 1); }

    friend std::optional<Fraction> operator+(const Fraction& a, const Fraction& b);
    friend std::optional<Fraction> operator*(const Fraction& a, const Fraction& b);
    std::optional<Fraction> negated() const;
    std::optional<Fraction> inverse() const;

    // Rounded to the nearest integer, halves away from zero; none beyond 2^63.
    std::optional<long long> rounded() const;

private:
    Fraction(__int128 numerator, __int128 denominator) : numerator_(numerator), denominator_(denominator) {}
    static std::optional<Fraction> reduced(__int128 numerator, __int128 denominator);
    __int128 numerator_;
    __int128 denominator_;
};

// x * factor + shift rounded to the nearest integer, halves away from zero,
// with factor and shift exact fractions made of decimals.
class ExactAffine {
public:
    // The computation's integers from a band's raw values: (raw * band scale
    // + band offset) * scale.
    static ExactAffine to_integers(double band_scale, double band_offset, double scale);
    // A band's raw values from the computation's integers n at `scale`:
    // (n / scale - band offset) / band scale.
    static ExactAffine to_raw(double scale, double band_offset, double band_scale);

    // The exact rounding of x * factor + shift for a value x taken exactly
    // (an integral double; NaN or an infinity when the value is not finite).
    double rounded(double x) const;

private:
    ExactAffine(const std::optional<Fraction>& factor, const std::optional<Fraction>& shift, double factor_double,
                double shift_double);
    std::optional<Fraction> factor_exact_;
    std::optional<Fraction> shift_exact_;
    double factor_;
    double shift_;
};

// value * scale rounded to the nearest integer, halves away from zero, with
// both numbers taken as their shortest decimals (a height typed by the user
// times --scale). NaN when not finite.
double rounded_decimal_product(double value, double scale);
