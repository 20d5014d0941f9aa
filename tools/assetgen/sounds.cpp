// The seven sound effects, synthesised in double at the rate the game plays
// them (8-bit mono, 11,025 Hz) and quantised with dither at the very end.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "assetgen.h"
#include "formats/wav.h"
#include "base/data_files.h"
#include "synth.h"
#include "portable_math.h"

using namespace synth;

namespace {

constexpr double kRate = EFFECT_SAMPLE_RATE;
constexpr double kPeak = 0.93;

size_t samples_for(double seconds) { return static_cast<size_t>(std::lround(seconds * kRate)); }
double time_of(size_t i) { return static_cast<double>(i) / kRate; }
double midi_hz(double note) { return 440.0 * portable::pow(2.0, (note - 69.0) / 12.0); }

// Raised-cosine attack of `a` seconds and exponential release of time
// constant `tau` starting at `release_at`.
double envelope(double t, double a, double release_at, double tau)
{
    double g = t < a ? 0.5 - 0.5 * portable::cos(std::numbers::pi * t / a) : 1.0;
    if (t > release_at) g *= portable::exp(-(t - release_at) / tau);
    return g;
}

// A brassy voice: two slightly detuned band-limited saws through a low-pass
// whose cutoff opens on the attack and settles, which is what makes a brass
// note "speak". `bend` is semitones reached by the note's end.
void brass_note(std::vector<double>& out, Rng& r, double start, double dur, double note, double amp,
                double bend, double vibrato_depth, double cutoff_peak, double cutoff_rest, double release = 0.025)
{
    const size_t first = samples_for(start);
    const size_t n = samples_for(dur);
    const size_t tail = samples_for(release * 5.0);
    Biquad lp;
    const std::vector<double> drift = smooth_noise(r, n + tail, samples_for(0.05));
    double ph1 = rng_uniform(r), ph2 = rng_uniform(r);
    for (size_t i = 0; i < n + tail && first + i < out.size(); ++i) {
        const double t = time_of(i);
        const double u = std::min(t / dur, 1.0);
        const double vib = vibrato_depth * portable::sin(kTwoPi * 5.2 * t) * std::min(1.0, t / 0.25);
        const double semis = bend * u * u + vib + 0.03 * drift[i];
        const double f = midi_hz(note + semis);
        ph1 += f / kRate;
        ph2 += f * 1.004 / kRate;
        const double cutoff = cutoff_rest + (cutoff_peak - cutoff_rest) * portable::exp(-t / 0.09) * std::min(1.0, t / 0.02);
        biquad_lowpass(lp, kRate, cutoff, 0.9);
        const double src = 0.5 * (saw_bl(ph1, f, kRate, 0.8) + saw_bl(ph2, f * 1.004, kRate, 0.8));
        double g = t < 0.015 ? t / 0.015 : 1.0;
        if (t > dur) g *= portable::exp(-(t - dur) / release);
        out[first + i] += amp * g * biquad_run(lp, src);
    }
}

// Effects are finished alike: DC removed, faded at both ends so nothing
// clicks, and brought to the same peak just short of full scale (one step
// of dither on top of it still fits); their densities are designed to give
// matching loudness at that peak.
std::vector<double> finish(std::vector<double> x, double fade_in_s, double fade_out_s)
{
    remove_dc(x, kRate);
    apply_fades(x, samples_for(fade_in_s), samples_for(fade_out_s));
    normalise(x, kPeak);
    return x;
}

// A cry: a glottal buzz whose pitch leaps up and falls away, shaped by the
// formants of an open "ah" that slowly darkens towards "uh" as it dies.
std::vector<double> make_ahh(Rng& r)
{
    const double dur = 0.78;
    const size_t n = samples_for(dur);
    std::vector<double> out(n);
    const std::vector<double> jitter = smooth_noise(r, n, samples_for(0.025));
    const std::vector<double> shimmer = smooth_noise(r, n, samples_for(0.04));
    struct Formant {
        double f_start, f_end, bandwidth, gain;
    };
    const Formant formants[] = {
        {880, 720, 90, 1.0}, {1250, 1080, 110, 0.62}, {2700, 2550, 160, 0.30}, {3600, 3450, 220, 0.14}};
    Biquad bp[4];
    Biquad breath_bp[4];
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = time_of(i);
        const double u = t / dur;
        // pitch: a quick upward break, then a long exponential fall
        double f0 = t < 0.06 ? 390.0 + 150.0 * (t / 0.06) : 540.0 * portable::pow(0.40, (t - 0.06) / (dur - 0.06));
        f0 *= 1.0 + 0.02 * jitter[i] + 0.04 * portable::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.2);
        phase += f0 / kRate;
        const double buzz = saw_bl(phase, f0, kRate, 0.7) * (1.0 + 0.08 * shimmer[i]);
        const double breath = rng_gauss(r) * (0.10 + 0.25 * u);
        double v = 0.0;
        for (int k = 0; k < 4; ++k) {
            const Formant& fm = formants[k];
            const double fc = fm.f_start + (fm.f_end - fm.f_start) * u;
            biquad_bandpass(bp[k], kRate, fc, fc / fm.bandwidth);
            biquad_bandpass(breath_bp[k], kRate, fc, fc / (fm.bandwidth * 1.5));
            const double sign = (k % 2 == 0) ? 1.0 : -1.0;  // parallel formants alternate in sign
            v += sign * fm.gain * (biquad_run(bp[k], buzz) + 0.6 * biquad_run(breath_bp[k], breath));
        }
        out[i] = v * envelope(t, 0.035, 0.30, 0.22);
    }
    return finish(out, 0.005, 0.03);
}

// Beam-up: a chord of detuned partials sweeping up three octaves, with a
// tremolo that quickens, and sparkles that thicken as the beam locks on.
std::vector<double> make_energize(Rng& r)
{
    const double dur = 1.5;
    const size_t n = samples_for(dur);
    std::vector<double> out(n);
    const double ratios[] = {1.0, 1.5, 2.0, 3.0};
    const double weights[] = {1.0, 0.7, 0.55, 0.3};
    const double detune[] = {0.994, 1.0, 1.006};
    double phases[4][3] = {};
    double trem_phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = time_of(i);
        const double u = t / dur;
        const double base = 200.0 * portable::pow(2.0, 3.0 * u);
        double v = 0.0;
        for (int p = 0; p < 4; ++p) {
            for (int d = 0; d < 3; ++d) {
                const double f = base * ratios[p] * detune[d];
                phases[p][d] += f / kRate;
                if (f < 0.42 * kRate) v += weights[p] * portable::sin(kTwoPi * phases[p][d]);
            }
        }
        trem_phase += (7.0 + 20.0 * u) / kRate;
        const double trem = 0.65 + 0.35 * portable::sin(kTwoPi * trem_phase);
        out[i] = v * trem * envelope(t, 0.12, dur - 0.35, 0.12) * 0.18;
    }
    // sparkles: short high pings, more of them as the sweep rises
    for (size_t i = 0; i < n; ++i) {
        const double u = time_of(i) / dur;
        if (rng_uniform(r) > (0.002 + 0.010 * u) * (u < 0.9 ? 1.0 : 0.0)) continue;
        const double f = 2200.0 + 2600.0 * rng_uniform(r);
        const double a = 0.08 + 0.08 * rng_uniform(r);
        const size_t len = samples_for(0.06);
        for (size_t k = 0; k < len && i + k < n; ++k) {
            const double tk = time_of(k);
            out[i + k] += a * portable::sin(kTwoPi * f * tk) * portable::exp(-tk / 0.018) * std::min(1.0, tk / 0.002);
        }
    }
    for (double& v : out) v = tanh_drive(v, 1.5);
    return finish(out, 0.01, 0.05);
}

// Game over: four heavy brass notes falling down a minor arpeggio, the last
// one sagging in pitch over a low drum.
std::vector<double> make_gameover(Rng& r)
{
    const double dur = 1.95;
    std::vector<double> out(samples_for(dur));
    brass_note(out, r, 0.00, 0.24, 50, 0.75, 0.0, 0.0, 2600, 1100);  // D3
    brass_note(out, r, 0.00, 0.24, 62, 0.25, 0.0, 0.0, 2600, 1100);
    brass_note(out, r, 0.28, 0.24, 46, 0.75, 0.0, 0.0, 2400, 1000);  // Bb2
    brass_note(out, r, 0.28, 0.24, 58, 0.25, 0.0, 0.0, 2400, 1000);
    brass_note(out, r, 0.56, 0.24, 43, 0.78, 0.0, 0.0, 2200, 950);   // G2
    brass_note(out, r, 0.56, 0.24, 55, 0.25, 0.0, 0.0, 2200, 950);
    brass_note(out, r, 0.84, 0.85, 38, 0.75, -1.2, 0.18, 2000, 700, 0.08);  // D2, sagging
    brass_note(out, r, 0.84, 0.85, 50, 0.40, -1.2, 0.18, 1800, 800, 0.08);  // its octave
    // the drum under the last note: a pitched-down sine thump with a noise skin
    const size_t first = samples_for(0.84);
    for (size_t i = 0; first + i < out.size(); ++i) {
        const double t = time_of(i);
        // the phase of a sine gliding from 102 Hz down to 42 Hz
        const double ph = kTwoPi * (42.0 * t + 60.0 * 0.08 * (1.0 - portable::exp(-t / 0.08)));
        out[first + i] += 0.35 * portable::sin(ph) * portable::exp(-t / 0.35) * std::min(1.0, t / 0.003) +
                          0.12 * rng_gauss(r) * portable::exp(-t / 0.03);
    }
    for (size_t i = 0; i < out.size(); ++i) out[i] = tanh_drive(out[i], 1.3);
    return finish(out, 0.004, 0.15);
}

// A zap: a bright square-ish chirp diving from high to low, very short.
std::vector<double> make_projectile(Rng& r)
{
    const double dur = 0.16;
    const size_t n = samples_for(dur);
    std::vector<double> out(n);
    double phase = 0.0;
    Biquad hp;
    biquad_highpass(hp, kRate, 2500.0, 0.7);
    for (size_t i = 0; i < n; ++i) {
        const double t = time_of(i);
        const double f = 260.0 + 2700.0 * portable::exp(-t / 0.032);
        phase += f / kRate;
        const double tone = 0.7 * square_bl(phase, f, kRate, 0.6) + 0.5 * portable::sin(kTwoPi * phase);
        const double hiss = biquad_run(hp, rng_gauss(r)) * portable::exp(-t / 0.008);
        const double g = std::min(1.0, t / 0.002) * portable::exp(-t / 0.055);
        out[i] = g * tone + 0.4 * hiss;
    }
    return finish(out, 0.002, 0.02);
}

// Thrusters: filtered noise and a low combustion buzz, throbbing a little.
// The game restarts the sound whenever it has ended while the key is held,
// so the file spans a whole number of throbs and starts and ends in a
// trough: the short gap of a restart then falls where the rumble dips anyway.
std::vector<double> make_engines(Rng& r)
{
    const double dur = 0.5;
    const int throbs = 6;
    const size_t n = samples_for(dur);
    std::vector<double> out(n);
    Biquad low, low2, mid;
    biquad_lowpass(low, kRate, 380.0, 0.7);
    biquad_lowpass(low2, kRate, 600.0, 0.7);
    biquad_bandpass(mid, kRate, 1100.0, 1.2);
    const std::vector<double> flutter = smooth_noise(r, n, samples_for(0.018));
    const std::vector<double> drift = smooth_noise(r, n, samples_for(0.06));
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = time_of(i);
        const double f = 52.0 * (1.0 + 0.06 * drift[i]);
        phase += f / kRate;
        const double w = rng_gauss(r);
        const double rumble = biquad_run(low, w) * 2.2;
        const double hiss = biquad_run(mid, w) * 0.35;
        const double buzz = biquad_run(low2, saw_bl(phase, f, kRate, 0.5)) * 0.45;
        const double s = portable::sin(std::numbers::pi * throbs * t / dur);
        const double throb = 0.45 + 0.55 * s * s;
        out[i] = (rumble + hiss + buzz) * throb * (1.0 + 0.25 * flutter[i]);
    }
    for (double& v : out) v = tanh_drive(v, 1.6);
    return finish(out, 0.012, 0.02);
}

// An explosion: a sharp crack, a noise blast whose brightness collapses, a
// low thump and a long rolling rumble with crackles in it.
std::vector<double> make_explosion(Rng& r)
{
    const double dur = 1.5;
    const size_t n = samples_for(dur);
    std::vector<double> out(n);
    Biquad body, body2, rumble_lp, rumble_hp;
    biquad_lowpass(rumble_lp, kRate, 260.0, 0.8);
    biquad_highpass(rumble_hp, kRate, 70.0, 0.7);
    const std::vector<double> roll = smooth_noise(r, n, samples_for(0.06));
    for (size_t i = 0; i < n; ++i) {
        const double t = time_of(i);
        const double w = rng_gauss(r);
        const double crack = w * portable::exp(-t / 0.008);
        const double cutoff = 220.0 + 3000.0 * portable::exp(-t / 0.22);
        biquad_lowpass(body, kRate, cutoff, 0.7);
        biquad_lowpass(body2, kRate, cutoff, 0.7);
        const double blast = biquad_run(body2, biquad_run(body, w)) * portable::exp(-t / 0.42) * std::min(1.0, t / 0.004);
        const double ph = kTwoPi * (55.0 * t + 80.0 * 0.09 * (1.0 - portable::exp(-t / 0.09)));
        const double thump = portable::sin(ph) * portable::exp(-t / 0.22) * std::min(1.0, t / 0.004);
        const double rumble =
            biquad_run(rumble_hp, biquad_run(rumble_lp, w)) * 2.2 * portable::exp(-t / 0.55) * (0.6 + 0.4 * roll[i]);
        out[i] = 0.4 * (0.9 * crack + 1.6 * blast + 0.45 * thump + 1.0 * rumble);
    }
    // crackles: scattered short bursts, thinning out
    for (size_t i = samples_for(0.05); i < n; ++i) {
        const double t = time_of(i);
        if (rng_uniform(r) > 0.004 * portable::exp(-t / 0.5)) continue;
        const double a = 0.35 * portable::exp(-t / 0.5) * (0.5 + rng_uniform(r));
        const size_t len = samples_for(0.004);
        for (size_t k = 0; k < len && i + k < n; ++k) out[i + k] += a * rng_gauss(r) * (1.0 - double(k) / double(len));
    }
    for (double& v : out) v = tanh_drive(v, 1.1);
    return finish(out, 0.001, 0.2);
}

// Level complete: a bright arpeggio climbing to a held major chord, with a
// bell on top.
std::vector<double> make_levcomp(Rng& r)
{
    const double dur = 1.9;
    std::vector<double> out(samples_for(dur));
    brass_note(out, r, 0.00, 0.11, 67, 0.7, 0.0, 0.0, 3800, 2200);  // G4
    brass_note(out, r, 0.12, 0.11, 72, 0.7, 0.0, 0.0, 3800, 2200);  // C5
    brass_note(out, r, 0.24, 0.11, 76, 0.7, 0.0, 0.0, 3800, 2200);  // E5
    brass_note(out, r, 0.36, 0.13, 79, 0.7, 0.0, 0.0, 3800, 2200);  // G5
    const double chord[] = {60, 64, 67, 72, 76, 84};
    for (double note : chord)
        brass_note(out, r, 0.52, 0.95, note, note == 84 ? 0.16 : 0.24, 0.0, 0.12, 4200, 2000, 0.09);
    // bell partials on the chord's arrival
    const size_t first = samples_for(0.52);
    for (size_t i = 0; first + i < out.size(); ++i) {
        const double t = time_of(i);
        const double f = midi_hz(84);
        out[first + i] += 0.28 * portable::exp(-t / 0.35) *
                          (portable::sin(kTwoPi * f * t) + 0.4 * portable::sin(kTwoPi * f * 2.76 * t) * portable::exp(-t / 0.1));
    }
    return finish(out, 0.003, 0.25);
}

struct Effect {
    DataFile file;
    uint64_t seed;
    std::vector<double> (*make)(Rng&);
};

constexpr Effect kEffects[] = {
    {DATA_SOUND_AHH, 0x61686831, make_ahh},
    {DATA_SOUND_ENERGIZE, 0x656e6532, make_energize},
    {DATA_SOUND_GAMEOVER, 0x67616d33, make_gameover},
    {DATA_SOUND_PROJECTILE, 0x70726f34, make_projectile},
    {DATA_SOUND_ENGINES, 0x656e6735, make_engines},
    {DATA_SOUND_EXPLOSION, 0x65787036, make_explosion},
    {DATA_SOUND_LEVCOMP, 0x6c657637, make_levcomp},
};

std::vector<uint8_t> render_effect(const Effect& e)
{
    Rng r = rng_seeded(e.seed);
    const std::vector<double> x = e.make(r);
    Rng dither = rng_seeded(e.seed ^ 0xD17E5ull);
    return quantise_u8(x, dither);
}

}  // namespace

int write_sounds(const std::string& dir)
{
    for (const Effect& e : kEffects) {
        const std::vector<uint8_t> pcm = render_effect(e);
        const std::string path = dir + "/" + data_file_name(e.file);
        if (!wav_write_pcm8(path.c_str(), pcm.data(), pcm.size(), EFFECT_SAMPLE_RATE)) return 0;
    }
    return 1;
}

// The listening copies start from the 8-bit bytes the game plays, so what is
// heard is what the player hears, only without a player's resampler.
int write_sound_previews(const std::string& dir)
{
    for (const Effect& e : kEffects) {
        const std::vector<uint8_t> pcm = render_effect(e);
        std::vector<double> x(pcm.size());
        for (size_t i = 0; i < pcm.size(); ++i) x[i] = (static_cast<double>(pcm[i]) - 128.0) / 127.0;
        Rng dither = rng_seeded(e.seed ^ 0x44100ull);
        const std::vector<uint8_t> out = quantise_u8(upsample4(x), dither);
        const std::string path = dir + "/" + data_file_name(e.file);
        if (!wav_write_pcm8(path.c_str(), out.data(), out.size(), 4 * EFFECT_SAMPLE_RATE)) return 0;
    }
    return 1;
}
