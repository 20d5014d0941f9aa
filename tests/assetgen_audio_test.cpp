// The generated sound effects and music, read back the way the game reads
// them: effects through the effect bank's WAV parser, music through the
// music bank's checks, a walk over its notes, and FluidSynth offline with the
// game's own soundfont and gain.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "audio/midi.h"
#include "base/bytes.h"
#include "formats/midi_file.h"
#include "formats/wav.h"
#include "support/temp_dir.h"

namespace {

std::vector<uint8_t> read_data_file(const std::string& name)
{
    const std::string text = file_text(std::string(KESTRAVA_DATA_DIR) + "/" + name);
    return {text.begin(), text.end()};
}

// ---------------------------------------------------------------- effects

struct EffectSpec {
    const char* file;
    double min_seconds, max_seconds;
};

constexpr EffectSpec kEffects[] = {
    {"ahh.WAV", 0.3, 0.999},          // a cry, under a second
    {"energize.WAV", 0.5, 3.0},       // the beam-up
    {"GAMEOVER.WAV", 1.0, 2.0},       // a phrase of one to two seconds
    {"Projectile.WAV", 0.05, 0.199},  // a short zap, fired every other frame
    {"Engines.WAV", 0.2, 1.5},        // restarted while the key is held
    {"Explosion.WAV", 0.4, 3.0},
    {"LevCOMP.WAV", 0.5, 3.0},
};

double rms(const uint8_t* s, size_t count)
{
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
    return std::sqrt(sum / static_cast<double>(count));
}

// Each effect as the bank plays it (8-bit mono PCM at 11,025 Hz, or it is
// heard at the wrong speed), near full scale without clipping or clicks,
// and all within 8 dB of one another at their loudest quarter second.
TEST(GeneratedEffects, PlayAsTheBankPlaysThemAtOneLevelWithoutClicks)
{
    std::vector<double> levels;
    for (const EffectSpec& spec : kEffects) {
        SCOPED_TRACE(spec.file);
        const std::vector<uint8_t> file = read_data_file(spec.file);
        WavData w{};
        const char* why = "";
        ASSERT_EQ(wav_parse(file.data(), file.size(), w, &why), 1) << why;
        EXPECT_EQ(w.format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(w.format.nChannels, 1);
        EXPECT_EQ(w.format.nSamplesPerSec, EFFECT_SAMPLE_RATE);
        EXPECT_EQ(w.format.wBitsPerSample, 8);
        const double seconds = static_cast<double>(w.data_bytes) / EFFECT_SAMPLE_RATE;
        EXPECT_GE(seconds, spec.min_seconds);
        EXPECT_LE(seconds, spec.max_seconds);

        const uint8_t* s = w.data;
        const size_t n = w.data_bytes;
        const auto [lo, hi] = std::minmax_element(s, s + n);
        EXPECT_GE(std::max(128 - *lo, *hi - 128), 100) << "too quiet";
        EXPECT_GT(*lo, 0) << "clipped";
        EXPECT_LT(*hi, 255) << "clipped";
        EXPECT_NEAR(s[0], 128, 2) << "starts with a click";
        EXPECT_NEAR(s[n - 1], 128, 2) << "ends with a click";
        const size_t window = std::min<size_t>(EFFECT_SAMPLE_RATE / 4, n);
        double loudest = 0.0;
        for (size_t at = 0; at + window <= n; at += window / 8) loudest = std::max(loudest, rms(s + at, window));
        levels.push_back(20.0 * std::log10(loudest / 128.0 + 1e-9));
    }
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 8.0) << kEffects[loudest - levels.begin()].file << " against "
                                         << kEffects[quietest - levels.begin()].file;
}

// The engine sound is restarted as soon as it has ended while the key is
// held, so a loud end or start would thump at every restart: both ends
// must taper, and the body must stay up (no gaps within it).
TEST(GeneratedEffects, EngineRestartsWithoutAThump)
{
    const std::vector<uint8_t> file = read_data_file("Engines.WAV");
    WavData w{};
    const char* why = "";
    ASSERT_EQ(wav_parse(file.data(), file.size(), w, &why), 1) << why;
    const size_t n = w.data_bytes;
    const size_t edge = EFFECT_SAMPLE_RATE / 200;  // 5 ms
    const double body = rms(w.data + n / 4, n / 2);
    EXPECT_LT(rms(w.data, edge), body * 0.5);
    EXPECT_LT(rms(w.data + n - edge, edge), body * 0.5);
    const size_t slice = EFFECT_SAMPLE_RATE / 50;  // 20 ms
    for (size_t at = n / 10; at + slice < n - n / 10; at += slice) EXPECT_GT(rms(w.data + at, slice), body * 0.3) << at;
}

// ------------------------------------------------------------------ music

const char* const kTracks[] = {"classic.mid", "midifile0.mid", "midifile3.mid", "midifile7.mid"};

// The notes of a file the music bank accepts, in file order per track, and
// which channels have an instrument before their first note.
struct Notes {
    uint16_t format = 0, division = 0;
    int hanging = 0, restruck = 0, parts = 0, parts_without_instrument = 0;
};

Notes walk_notes(const std::vector<uint8_t>& b)
{
    Notes out;
    out.format = get16be(&b[8]);
    out.division = get16be(&b[12]);
    std::map<int, bool> has_program, has_note;
    std::map<std::pair<int, int>, int> sounding;
    for (size_t pos = 14; pos + 8 <= b.size();) {
        const size_t end = pos + 8 + get32be(&b[pos + 4]);
        size_t p = pos + 8;
        uint8_t running = 0;
        auto number = [&] {
            uint32_t v = 0;
            while (b[p] & 0x80) v = (v << 7) | (b[p++] & 0x7F);
            return (v << 7) | b[p++];
        };
        while (p < end) {
            number();
            if (b[p] == 0xFF || b[p] == 0xF0 || b[p] == 0xF7) {
                p += b[p] == 0xFF ? 2 : 1;
                p += number();
                running = 0;
                continue;
            }
            if (b[p] & 0x80) running = b[p++];
            const int kind = running & 0xF0, channel = running & 0x0F;
            if (kind == 0xC0) has_program[channel] = true;
            if (kind == 0x90 || kind == 0x80) {
                const bool on = kind == 0x90 && b[p + 1] > 0;
                int& count = sounding[{channel, b[p]}];
                out.restruck += on && count > 0;
                count += on ? 1 : -1;
                if (on && !has_note[channel]) {
                    has_note[channel] = true;
                    out.parts += 1;
                    out.parts_without_instrument += channel != 9 && !has_program[channel];
                }
            }
            p += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        }
        pos = end;
    }
    for (const auto& [key, count] : sounding) out.hanging += count != 0;
    return out;
}

// Format 1, accepted by the bank, every note struck once and released, every
// part with an instrument.
TEST(GeneratedMusic, WellFormedArrangements)
{
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = read_data_file(name);
        const char* why = "";
        ASSERT_EQ(midi_validate(bytes.data(), bytes.size(), &why), 1) << "the music bank refuses it: " << why;
        const Notes n = walk_notes(bytes);
        EXPECT_EQ(n.format, 1);
        EXPECT_LT(n.division, 0x8000) << "ticks per quarter, not SMPTE";
        EXPECT_EQ(n.hanging, 0) << "notes left sounding or released twice";
        EXPECT_EQ(n.restruck, 0) << "notes struck again while still sounding";
        EXPECT_GE(n.parts, 3) << "too few parts to be an arrangement";
        EXPECT_EQ(n.parts_without_instrument, 0);
    }
}

// The soundfont the game plays with: the first of its list that is there.
// Never the system's default by name, which points wherever the machine's
// other packages have set it.
const char* games_soundfont()
{
    for (const char* path : MIDI_SOUNDFONTS) {
        if (std::ifstream(path).good()) return path;
    }
    return MIDI_SOUNDFONTS[0];
}

// Every level starts a track at random, so the tracks must play at one
// loudness, clear of the effects and of full scale, for two to three minutes
// with no silence padding the end.
// Rendered whole as the game plays them (soundfont, gain, reverb and chorus,
// which lifts some string parts by over 10 dB) but at a quarter of the
// sample rate to keep the test quick; that moves the levels by less than
// half a decibel.
TEST(GeneratedMusic, TracksPlayAtOneLoudnessForTwoToThreeMinutes)
{
    const char* soundfont = games_soundfont();
    ASSERT_TRUE(std::ifstream(soundfont).good()) << soundfont;
    constexpr double kRate = 11025.0;
    fluid_settings_t* settings = new_fluid_settings();
    ASSERT_NE(settings, nullptr);
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setnum(settings, "synth.gain", MUSIC_GAIN);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 1);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(synth, nullptr);
    ASSERT_NE(fluid_synth_sfload(synth, soundfont, 1), FLUID_FAILED);

    constexpr int kBlock = 512;
    constexpr long kLongest = long(kRate) * 200;  // a player that never ends fails, not hangs
    constexpr long kOpening = long(kRate) * 15, kOpeningWindow = long(kRate) * 5;
    std::vector<double> levels;
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        fluid_synth_system_reset(synth);
        fluid_player_t* player = new_fluid_player(synth);
        ASSERT_NE(player, nullptr);
        const std::string path = std::string(KESTRAVA_DATA_DIR) + "/" + name;
        ASSERT_EQ(fluid_player_add(player, path.c_str()), FLUID_OK);
        ASSERT_EQ(fluid_player_play(player), FLUID_OK);
        std::vector<float> left(kBlock), right(kBlock);
        double sum = 0.0;
        float peak = 0.0f;
        long frames = 0, last_sound = 0;
        std::vector<double> opening_blocks;  // the energy of each block of the first 15 s
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && frames < kLongest) {
            ASSERT_EQ(fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1), FLUID_OK);
            double block = 0.0;
            for (int i = 0; i < kBlock; ++i) {
                block += double(left[i]) * left[i] + double(right[i]) * right[i];
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            sum += block;
            if (frames < kOpening) opening_blocks.push_back(block);
            if (block / (2 * kBlock) > 1e-6) last_sound = frames;
            frames += kBlock;
        }
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
        const double seconds = double(frames) / kRate;
        EXPECT_GE(seconds, 120.0);
        EXPECT_LE(seconds, 180.0);
        EXPECT_LT(seconds - double(last_sound) / kRate, 8.0) << "silence pads the end";
        const double rms_db = 10.0 * std::log10(sum / double(2 * std::max(frames, 1L)) + 1e-15);
        levels.push_back(rms_db);
        // Every level starts its track from the beginning, so the opening is
        // what a player hears most: no 5 s of the first 15 may sit more than
        // 8 dB under the whole track.
        const size_t window = kOpeningWindow / kBlock;
        for (size_t at = 0; at + window <= opening_blocks.size(); at += window / 10) {
            double energy = 0.0;
            for (size_t k = at; k < at + window; ++k) energy += opening_blocks[k];
            const double window_db = 10.0 * std::log10(energy / double(2 * window * kBlock) + 1e-15);
            EXPECT_GT(window_db, rms_db - 8.0) << "the 5 s from " << double(at * kBlock) / kRate << " s";
        }
        // about -24 dBFS: clear over the effects, with room for the peaks
        EXPECT_GT(rms_db, -27.0);
        EXPECT_LT(rms_db, -21.0);
        EXPECT_LT(20.0 * std::log10(peak + 1e-15), -2.0) << "peaks too close to full scale";
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    ASSERT_EQ(levels.size(), std::size(kTracks));
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 3.0) << kTracks[loudest - levels.begin()] << " against "
                                         << kTracks[quietest - levels.begin()];
}

}  // namespace
