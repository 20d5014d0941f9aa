// The generator's mathematical functions, giving the same bits on every
// architecture: the C library's differ there in the last bit now and then
// (x87 code on 32-bit x86, other kernels on arm64), which moved pixels of the
// nebula and so made another game of the same commit. These use only + - * /,
// sqrt, floor and scaling by powers of two, which IEEE arithmetic rounds alike
// everywhere the build keeps its -ffp-contract=off (and SSE maths on i386).
// Accurate to a few units in the last place over the ranges the art and the
// sounds use.
#pragma once

namespace portable {

double exp(double x);
double log(double x);
double pow(double x, double y);
double sin(double x);
double cos(double x);
double tanh(double x);
double atan2(double y, double x);
double acos(double x);

// Float arguments as the C++ library's float overloads take them: worked in
// double, rounded once.
inline float exp(float x) { return float(exp(double(x))); }
inline float log(float x) { return float(log(double(x))); }
inline float pow(float x, float y) { return float(pow(double(x), double(y))); }
inline float sin(float x) { return float(sin(double(x))); }
inline float cos(float x) { return float(cos(double(x))); }
inline float tanh(float x) { return float(tanh(double(x))); }
inline float atan2(float y, float x) { return float(atan2(double(y), double(x))); }
inline float acos(float x) { return float(acos(double(x))); }

}  // namespace portable
