// Small building blocks for synthesising the effects: a seeded generator,
// band-limited voices, filters and the 8-bit finishing step. Everything is
// computed in double and depends on nothing but its arguments and the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace synth {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// xorshift64* with a splitmix64 seed step: our own generator, so the bytes
// never depend on a library's random engine.
struct Rng {
    uint64_t state;
};
Rng rng_seeded(uint64_t seed);
uint64_t rng_next(Rng& r);
double rng_uniform(Rng& r);         // [0, 1)
double rng_signed(Rng& r);          // [-1, 1)
double rng_gauss(Rng& r);           // mean 0, deviation 1

// Two-pole resonator / biquad (direct form I), coefficients from the usual
// bilinear designs.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};
void biquad_lowpass(Biquad& f, double rate, double freq, double q);
void biquad_highpass(Biquad& f, double rate, double freq, double q);
void biquad_bandpass(Biquad& f, double rate, double freq, double q);  // 0 dB at the centre
double biquad_run(Biquad& f, double x);

// Additive band-limited sawtooth / square from a running phase (in cycles)
// and the current frequency: harmonics above the limit are left out, with a
// soft roll-off towards it, so sweeps never alias.
double saw_bl(double phase, double freq, double rate, double brightness);
double square_bl(double phase, double freq, double rate, double brightness);

// Smoothed random control signal: a new target every `hold` samples,
// cosine-interpolated.
std::vector<double> smooth_noise(Rng& r, size_t n, size_t hold);

// Linear ramps at both ends, in samples.
void apply_fades(std::vector<double>& x, size_t fade_in, size_t fade_out);
void remove_dc(std::vector<double>& x, double rate);
double peak_of(const std::vector<double>& x);
// Scales so that the largest magnitude is exactly `peak`.
void normalise(std::vector<double>& x, double peak);
// Soft saturation for density, normalised so tanh_drive(1, d) == 1.
double tanh_drive(double x, double drive);

// [-1, 1] doubles to 8-bit unsigned with triangular dither of one step.
std::vector<uint8_t> quantise_u8(const std::vector<double>& x, Rng& r);

// 4x upsampling with a windowed-sinc interpolator, for the listening copies.
std::vector<double> upsample4(const std::vector<double>& x);

}  // namespace synth
