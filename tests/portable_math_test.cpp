// The generator's own mathematical functions against the C library's over
// the ranges the art and the sounds use: a wrong quadrant, sign or series
// would spoil the pictures and sounds while still giving the same bytes on
// every machine.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "portable_math.h"

TEST(PortableMath, AgreesWithTheCLibraryToAFewUnitsInTheLastPlace)
{
    struct Case {
        const char* name;
        std::function<double(double)> ours, libc;
        double lo, hi;
    };
    const Case cases[] = {
        {"sin", [](double x) { return portable::sin(x); }, [](double x) { return std::sin(x); }, -2e4, 2e4},
        {"cos", [](double x) { return portable::cos(x); }, [](double x) { return std::cos(x); }, -2e4, 2e4},
        {"exp", [](double x) { return portable::exp(x); }, [](double x) { return std::exp(x); }, -700, 700},
        {"log", [](double x) { return portable::log(x); }, [](double x) { return std::log(x); }, 1e-9, 1e9},
        {"pow", [](double x) { return portable::pow(x, -2.6); }, [](double x) { return std::pow(x, -2.6); }, 1e-3, 1e3},
        {"tanh", [](double x) { return portable::tanh(x); }, [](double x) { return std::tanh(x); }, -30, 30},
        {"atan2", [](double x) { return portable::atan2(x, -0.7); }, [](double x) { return std::atan2(x, -0.7); },
         -50, 50},
        {"acos", [](double x) { return portable::acos(x); }, [](double x) { return std::acos(x); }, -1, 1},
    };
    for (const Case& c : cases)
        for (int i = 0; i <= 20000; ++i) {
            const double x = c.lo + (c.hi - c.lo) * i / 20000.0, want = c.libc(x);
            EXPECT_NEAR(c.ours(x), want, 1e-14 * std::fabs(want) + 1e-300) << c.name << "(" << x << ")";
        }
}
