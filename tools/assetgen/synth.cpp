#include "synth.h"
#include "portable_math.h"

#include <algorithm>
#include <cmath>

namespace synth {

Rng rng_seeded(uint64_t seed)
{
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return Rng{z ? z : 0x2545F4914F6CDD1Dull};
}

uint64_t rng_next(Rng& r)
{
    r.state ^= r.state >> 12;
    r.state ^= r.state << 25;
    r.state ^= r.state >> 27;
    return r.state * 0x2545F4914F6CDD1Dull;
}

double rng_uniform(Rng& r) { return static_cast<double>(rng_next(r) >> 11) * (1.0 / 9007199254740992.0); }
double rng_signed(Rng& r) { return 2.0 * rng_uniform(r) - 1.0; }

double rng_gauss(Rng& r)
{
    // Box-Muller; the first uniform is kept away from zero.
    const double u1 = 1.0 - rng_uniform(r);
    const double u2 = rng_uniform(r);
    return std::sqrt(-2.0 * portable::log(u1)) * portable::cos(kTwoPi * u2);
}

static void biquad_norm(Biquad& f, double b0, double b1, double b2, double a0, double a1, double a2)
{
    f.b0 = b0 / a0;
    f.b1 = b1 / a0;
    f.b2 = b2 / a0;
    f.a1 = a1 / a0;
    f.a2 = a2 / a0;
}

void biquad_lowpass(Biquad& f, double rate, double freq, double q)
{
    freq = std::clamp(freq, 10.0, rate * 0.49);
    const double w = kTwoPi * freq / rate;
    const double alpha = portable::sin(w) / (2.0 * q);
    const double c = portable::cos(w);
    biquad_norm(f, (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void biquad_highpass(Biquad& f, double rate, double freq, double q)
{
    freq = std::clamp(freq, 10.0, rate * 0.49);
    const double w = kTwoPi * freq / rate;
    const double alpha = portable::sin(w) / (2.0 * q);
    const double c = portable::cos(w);
    biquad_norm(f, (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void biquad_bandpass(Biquad& f, double rate, double freq, double q)
{
    freq = std::clamp(freq, 10.0, rate * 0.49);
    const double w = kTwoPi * freq / rate;
    const double alpha = portable::sin(w) / (2.0 * q);
    const double c = portable::cos(w);
    biquad_norm(f, alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

double biquad_run(Biquad& f, double x)
{
    const double y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}

// Harmonic k's weight: full up to `brightness` of the way to the limit, then
// a cosine roll-off to zero at 0.45 x rate.
static double harmonic_gain(double hz, double rate, double brightness)
{
    const double limit = 0.45 * rate;
    const double knee = limit * std::clamp(brightness, 0.05, 1.0);
    if (hz >= limit) return 0.0;
    if (hz <= knee) return 1.0;
    const double t = (hz - knee) / (limit - knee);
    return 0.5 + 0.5 * portable::cos(std::numbers::pi * t);
}

double saw_bl(double phase, double freq, double rate, double brightness)
{
    double sum = 0.0;
    for (int k = 1;; ++k) {
        const double hz = freq * k;
        const double g = harmonic_gain(hz, rate, brightness);
        if (g == 0.0) break;
        sum += g * portable::sin(kTwoPi * phase * k) / k;
    }
    return sum * (2.0 / std::numbers::pi);
}

double square_bl(double phase, double freq, double rate, double brightness)
{
    double sum = 0.0;
    for (int k = 1;; k += 2) {
        const double hz = freq * k;
        const double g = harmonic_gain(hz, rate, brightness);
        if (g == 0.0) break;
        sum += g * portable::sin(kTwoPi * phase * k) / k;
    }
    return sum * (4.0 / std::numbers::pi);
}

std::vector<double> smooth_noise(Rng& r, size_t n, size_t hold)
{
    std::vector<double> out(n);
    hold = std::max<size_t>(hold, 1);
    double a = rng_signed(r);
    double b = rng_signed(r);
    for (size_t i = 0; i < n; ++i) {
        const size_t k = i % hold;
        if (k == 0 && i > 0) {
            a = b;
            b = rng_signed(r);
        }
        const double t = static_cast<double>(k) / static_cast<double>(hold);
        const double w = 0.5 - 0.5 * portable::cos(std::numbers::pi * t);
        out[i] = a + (b - a) * w;
    }
    return out;
}

void apply_fades(std::vector<double>& x, size_t fade_in, size_t fade_out)
{
    const size_t n = x.size();
    for (size_t i = 0; i < fade_in && i < n; ++i) x[i] *= static_cast<double>(i) / static_cast<double>(fade_in);
    for (size_t i = 0; i < fade_out && i < n; ++i)
        x[n - 1 - i] *= static_cast<double>(i) / static_cast<double>(fade_out);
}

void remove_dc(std::vector<double>& x, double rate)
{
    // A gentle 20 Hz high-pass run forwards and backwards: no phase smear.
    Biquad f;
    biquad_highpass(f, rate, 20.0, 0.7071);
    for (double& v : x) v = biquad_run(f, v);
    Biquad g;
    biquad_highpass(g, rate, 20.0, 0.7071);
    for (size_t i = x.size(); i-- > 0;) x[i] = biquad_run(g, x[i]);
}

double peak_of(const std::vector<double>& x)
{
    double p = 0.0;
    for (double v : x) p = std::max(p, std::fabs(v));
    return p;
}

void normalise(std::vector<double>& x, double peak)
{
    const double p = peak_of(x);
    if (p <= 0.0) return;
    const double gain = peak / p;
    for (double& v : x) v *= gain;
}

double tanh_drive(double x, double drive) { return portable::tanh(x * drive) / portable::tanh(drive); }

std::vector<uint8_t> quantise_u8(const std::vector<double>& x, Rng& r)
{
    std::vector<uint8_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        // Triangular, +-1 step; two statements fix which draw comes first.
        const double up = rng_uniform(r);
        const double dither = up - rng_uniform(r);
        const double v = std::round(128.0 + 127.0 * x[i] + dither);
        out[i] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
    return out;
}

std::vector<double> upsample4(const std::vector<double>& x)
{
    constexpr int kTaps = 16;  // input samples each side
    std::vector<double> out(x.size() * 4);
    for (size_t j = 0; j < out.size(); ++j) {
        const double t = static_cast<double>(j) / 4.0;
        const long centre = static_cast<long>(j / 4);
        double sum = 0.0;
        for (long i = centre - kTaps + 1; i <= centre + kTaps; ++i) {
            if (i < 0 || i >= static_cast<long>(x.size())) continue;
            const double d = t - static_cast<double>(i);
            const double sinc = d == 0.0 ? 1.0 : portable::sin(std::numbers::pi * d) / (std::numbers::pi * d);
            const double w = 0.5 + 0.5 * portable::cos(std::numbers::pi * d / kTaps);  // Hann
            sum += x[static_cast<size_t>(i)] * sinc * w;
        }
        out[j] = sum;
    }
    return out;
}

}  // namespace synth
