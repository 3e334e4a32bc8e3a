#include "gis/exact_scaling.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

__int128 magnitude(__int128 value) { return value < 0 ? -value : value; }

__int128 common_divisor(__int128 a, __int128 b) {
    a = magnitude(a);
    b = magnitude(b);
    while (b != 0) {
        const __int128 rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

// 10^power, when 128 bits hold it.
std::optional<__int128> power_of_ten(int power) {
    __int128 result = 1;
    for (int k = 0; k < power; ++k)
        if (__builtin_mul_overflow(result, 10, &result)) return std::nullopt;
    return result;
}

}  // namespace

std::optional<Fraction> Fraction::reduced(__int128 numerator, __int128 denominator) {
    if (denominator == 0) return std::nullopt;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const __int128 divisor = common_divisor(numerator, denominator);
    if (divisor > 1) {
        numerator /= divisor;
        denominator /= divisor;
    }
    return Fraction(numerator, denominator);
}

std::optional<Fraction> Fraction::decimal(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // The shortest text that reads back as the double: "0.1", "1e-05", "123.45".
    char text[64];
    const auto [end, status] = std::to_chars(text, text + sizeof text, value);
    if (status != std::errc()) return std::nullopt;
    __int128 digits = 0;
    int exponent = 0;
    bool negative = false;
    bool after_point = false;
    for (const char* c = text; c != end; ++c) {
        if (*c == '-') {
            negative = true;
        } else if (*c == '.') {
            after_point = true;
        } else if (*c == 'e' || *c == 'E') {
            int written = 0;
            const char* start = c + 1 + (c[1] == '+' ? 1 : 0);
            if (std::from_chars(start, end, written).ec != std::errc()) return std::nullopt;
            exponent += written;
            break;
        } else {
            if (__builtin_mul_overflow(digits, 10, &digits)) return std::nullopt;
            digits += *c - '0';
            if (after_point) --exponent;
        }
    }
    if (negative) digits = -digits;
    const auto power = power_of_ten(exponent < 0 ? -exponent : exponent);
    if (!power) return std::nullopt;
    if (exponent < 0) return reduced(digits, *power);
    __int128 whole = 0;
    if (__builtin_mul_overflow(digits, *power, &whole)) return std::nullopt;
    return Fraction(whole, 1);
}

std::optional<Fraction> Fraction::binary(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    int exponent = 0;
    const double part = std::frexp(value, &exponent);  // value = part * 2^exponent, 0.5 <= |part| < 1
    const auto mantissa = static_cast<long long>(std::ldexp(part, 53));  // exact: 53 bits
    exponent -= 53;
    if (exponent >= 0) {
        if (exponent > 70) return std::nullopt;
        return Fraction(static_cast<__int128>(mantissa) * (static_cast<__int128>(1) << exponent), 1);
    }
    if (-exponent > 125) return std::nullopt;
    return reduced(mantissa, static_cast<__int128>(1) << -exponent);
}

std::optional<Fraction> operator*(const Fraction& a, const Fraction& b) {
    // Cross-reduced first, so that the products stay as small as they can.
    const __int128 first = common_divisor(a.numerator_, b.denominator_);
    const __int128 second = common_divisor(b.numerator_, a.denominator_);
    const __int128 na = first > 1 ? a.numerator_ / first : a.numerator_;
    const __int128 db = first > 1 ? b.denominator_ / first : b.denominator_;
    const __int128 nb = second > 1 ? b.numerator_ / second : b.numerator_;
    const __int128 da = second > 1 ? a.denominator_ / second : a.denominator_;
    __int128 numerator = 0;
    __int128 denominator = 0;
    if (__builtin_mul_overflow(na, nb, &numerator) || __builtin_mul_overflow(da, db, &denominator))
        return std::nullopt;
    return Fraction::reduced(numerator, denominator);
}

std::optional<Fraction> operator+(const Fraction& a, const Fraction& b) {
    const __int128 divisor = common_divisor(a.denominator_, b.denominator_);
    const __int128 a_times = b.denominator_ / divisor;
    const __int128 b_times = a.denominator_ / divisor;
    __int128 left = 0;
    __int128 right = 0;
    __int128 numerator = 0;
    __int128 denominator = 0;
    if (__builtin_mul_overflow(a.numerator_, a_times, &left) || __builtin_mul_overflow(b.numerator_, b_times, &right) ||
        __builtin_add_overflow(left, right, &numerator) ||
        __builtin_mul_overflow(a.denominator_, a_times, &denominator))
        return std::nullopt;
    return Fraction::reduced(numerator, denominator);
}

std::optional<Fraction> Fraction::negated() const { return Fraction(-numerator_, denominator_); }

std::optional<Fraction> Fraction::inverse() const { return reduced(denominator_, numerator_); }

std::optional<long long> Fraction::rounded() const {
    const __int128 size = magnitude(numerator_);
    __int128 whole = size / denominator_;
    const __int128 rest = size % denominator_;
    if (rest >= denominator_ - rest) ++whole;  // a half or more: away from zero
    if (whole > static_cast<__int128>(INT64_MAX)) return std::nullopt;
    const auto result = static_cast<long long>(whole);
    return numerator_ < 0 ? -result : result;
}

namespace {

std::optional<Fraction> product(const std::optional<Fraction>& a, const std::optional<Fraction>& b) {
    if (!a || !b) return std::nullopt;
    return *a * *b;
}

}  // namespace

ExactAffine::ExactAffine(const std::optional<Fraction>& factor, const std::optional<Fraction>& shift,
                         double factor_double, double shift_double)
    : factor_exact_(factor), shift_exact_(shift), factor_(factor_double), shift_(shift_double) {}

ExactAffine ExactAffine::to_integers(double band_scale, double band_offset, double scale) {
    const auto s = Fraction::decimal(scale);
    return {product(Fraction::decimal(band_scale), s), product(Fraction::decimal(band_offset), s),
            band_scale * scale, band_offset * scale};
}

ExactAffine ExactAffine::to_raw(double scale, double band_offset, double band_scale) {
    // (n / S - O) / C = n * 1 / (S C) - O / C
    const auto c = Fraction::decimal(band_scale);
    const auto sc = product(Fraction::decimal(scale), c);
    const auto factor = sc ? sc->inverse() : std::nullopt;
    const auto c_inverse = c ? c->inverse() : std::nullopt;
    const auto o = Fraction::decimal(band_offset);
    const auto shift = product(o ? o->negated() : std::nullopt, c_inverse);
    return {factor, shift, 1.0 / (scale * band_scale), -band_offset / band_scale};
}

double ExactAffine::rounded(double x) const {
    const double term = x * factor_;
    const double approximate = term + shift_;
    if (!std::isfinite(approximate)) return approximate;
    // Beyond 2^52 a double holds no half.
    if (std::fabs(approximate) >= 4503599627370496.0) return std::round(approximate);
    const double tolerance = 16.0 * DBL_EPSILON * (std::fabs(term) + std::fabs(shift_) + std::fabs(approximate));
    const double half = std::floor(approximate) + 0.5;
    if (std::fabs(approximate - half) > tolerance) return std::round(approximate);
    if (factor_exact_ && shift_exact_) {
        if (const auto taken = Fraction::binary(x)) {
            const auto scaled = *taken * *factor_exact_;
            const auto exact = scaled ? *scaled + *shift_exact_ : std::nullopt;
            if (const auto whole = exact ? exact->rounded() : std::nullopt) return static_cast<double>(*whole);
        }
    }
    return std::round(approximate);
}

double rounded_decimal_product(double value, double scale) {
    const double approximate = value * scale;
    if (!std::isfinite(approximate)) return approximate;
    if (const auto exact = product(Fraction::decimal(value), Fraction::decimal(scale)))
        if (const auto whole = exact->rounded()) return static_cast<double>(*whole);
    return std::round(approximate);
}
