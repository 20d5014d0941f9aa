// Series after an exact range reduction; see portable_math.h for why.
#include "portable_math.h"

#include <cmath>
#include <limits>

namespace portable {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979311600e+00;
constexpr double kHalfPi = 1.57079632679489655800e+00;
// ln 2 and pi/2 in parts whose leading ones have trailing zero bits, so that
// multiples of them up to 2^20 are exact and the reduced argument keeps its
// precision.
constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kHalfPi1 = 1.57079632673412561417e+00, kHalfPi2 = 6.07710050630396597660e-11,
                 kHalfPi3 = 2.02226624871116645580e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;

// sin r and cos r for |r| <= pi/4: Taylor series to r^17 and r^16, whose
// next terms lie below a unit in the last place.
double sin_kernel(double r)
{
    const double r2 = r * r;
    double p = 1.0;
    for (int k = 8; k >= 1; --k) p = 1.0 - r2 / double((2 * k) * (2 * k + 1)) * p;
    return r * p;
}

double cos_kernel(double r)
{
    const double r2 = r * r;
    double p = 1.0;
    for (int k = 8; k >= 1; --k) p = 1.0 - r2 / double((2 * k - 1) * (2 * k)) * p;
    return p;
}

// x = n pi/2 + r with |r| <= pi/4; the quadrant n mod 4 comes back.
int reduce_half_pi(double x, double& r)
{
    const double n = std::floor(x * kTwoOverPi + 0.5);
    r = ((x - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;
    return int(static_cast<long long>(n) & 3);
}

// atan x for 0 <= x <= 1: two halvings of the angle bring x below
// tan(pi/16), where the series to x^25 is exact to the last place.
double atan_unit(double x)
{
    x = x / (1.0 + std::sqrt(1.0 + x * x));
    x = x / (1.0 + std::sqrt(1.0 + x * x));
    const double x2 = x * x;
    double p = 0.0;
    for (int n = 12; n >= 0; --n) p = 1.0 / double(2 * n + 1) - x2 * p;
    return 4.0 * x * p;
}

}  // namespace

double exp(double x)
{
    if (std::isnan(x)) return x;
    if (x > 709.8) return kInf;
    if (x < -745.2) return 0.0;
    const double k = std::floor(x * kInvLn2 + 0.5);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.35
    double p = 1.0;
    for (int n = 14; n >= 1; --n) p = 1.0 + r / double(n) * p;
    return std::ldexp(p, int(k));
}

double log(double x)
{
    if (std::isnan(x) || x < 0.0) return kNaN;
    if (x == 0.0) return -kInf;
    if (std::isinf(x)) return x;
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --e;
    }
    // log m = 2 atanh s, |s| <= 0.172.
    const double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double p = 0.0;
    for (int n = 12; n >= 0; --n) p = 1.0 / double(2 * n + 1) + s2 * p;
    return (double(e) * kLn2Lo + 2.0 * s * p) + double(e) * kLn2Hi;
}

double pow(double x, double y)
{
    if (y == 0.0 || x == 1.0) return 1.0;
    if (std::isnan(x) || std::isnan(y)) return kNaN;
    if (x == 0.0) return y > 0.0 ? 0.0 : kInf;
    if (x > 0.0) return exp(y * log(x));
    if (std::floor(y) != y) return kNaN;
    const double magnitude = exp(y * log(-x));
    return std::fmod(y, 2.0) == 0.0 ? magnitude : -magnitude;
}

double sin(double x)
{
    if (!std::isfinite(x)) return kNaN;
    double r = 0.0;
    switch (reduce_half_pi(x, r)) {
    case 0: return sin_kernel(r);
    case 1: return cos_kernel(r);
    case 2: return -sin_kernel(r);
    default: return -cos_kernel(r);
    }
}

double cos(double x)
{
    if (!std::isfinite(x)) return kNaN;
    double r = 0.0;
    switch (reduce_half_pi(x, r)) {
    case 0: return cos_kernel(r);
    case 1: return -sin_kernel(r);
    case 2: return -cos_kernel(r);
    default: return sin_kernel(r);
    }
}

double tanh(double x)
{
    if (std::isnan(x)) return x;
    if (x > 22.0) return 1.0;
    if (x < -22.0) return -1.0;
    // tanh x = m / (m + 2) with m = e^2x - 1, summed directly near 0 where
    // e^2x - 1 would cancel.
    const double t = 2.0 * x;
    double m = 0.0;
    if (std::fabs(t) < 0.7) {
        double p = 1.0;
        for (int n = 20; n >= 2; --n) p = 1.0 + t / double(n) * p;
        m = t * p;
    } else {
        m = exp(t) - 1.0;
    }
    return m / (m + 2.0);
}

double atan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y)) return kNaN;
    if (x == 0.0 && y == 0.0) return std::signbit(x) ? (std::signbit(y) ? -kPi : kPi) : y;
    const double ay = std::fabs(y), ax = std::fabs(x);
    // The angle from the positive x axis in the first quadrant, then mirrored.
    double a = ay <= ax ? atan_unit(ay / ax) : kHalfPi - atan_unit(ax / ay);
    if (x < 0.0) a = kPi - a;
    return std::signbit(y) ? -a : a;
}

double acos(double x)
{
    if (std::isnan(x) || x < -1.0 || x > 1.0) return kNaN;
    return atan2(std::sqrt((1.0 - x) * (1.0 + x)), x);
}

}  // namespace portable
