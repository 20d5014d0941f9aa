// The generated sound effects and music, read back the way the game reads
// them: effects through the effect bank's WAV parser, music through the
// music bank's checks, a walk over its notes, and FluidSynth offline with the
// game's own soundfont and gain.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
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

double rms(const uint8_t* s, size_t count)
{
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
    return std::sqrt(sum / static_cast<double>(count));
}

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
        const WAVEFORMATEX& f = w.format;
        EXPECT_EQ(std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample),
                  std::make_tuple(WAVE_FORMAT_PCM, 1, uint32_t(EFFECT_SAMPLE_RATE), 8));
        const uint8_t* s = w.data;
        const size_t n = w.data_bytes;
        EXPECT_GE(double(n) / EFFECT_SAMPLE_RATE, spec.min_seconds);
        EXPECT_LE(double(n) / EFFECT_SAMPLE_RATE, spec.max_seconds);
        const auto [lo, hi] = std::minmax_element(s, s + n);
        EXPECT_GE(std::max(128 - *lo, *hi - 128), 100) << "too quiet";
        EXPECT_TRUE(*lo > 0 && *hi < 255) << "clipped";
        EXPECT_NEAR(s[0], 128, 2) << "starts with a click";
        EXPECT_NEAR(s[n - 1], 128, 2) << "ends with a click";
        const size_t window = std::min<size_t>(EFFECT_SAMPLE_RATE / 4, n);
        double loudest = 0.0;
        for (size_t at = 0; at + window <= n; at += window / 8) loudest = std::max(loudest, rms(s + at, window));
        levels.push_back(20.0 * std::log10(loudest / 128.0 + 1e-9));

        // The engine sound is restarted as soon as it has ended while the key
        // is held, so a loud end or start would thump at every restart: both
        // ends taper over 5 ms, and the body has no gaps (20 ms slices).
        if (std::string(spec.file) != "Engines.WAV") continue;
        const size_t edge = EFFECT_SAMPLE_RATE / 200, slice = EFFECT_SAMPLE_RATE / 50;
        const double body = rms(s + n / 4, n / 2);
        EXPECT_LT(rms(s, edge), body * 0.5);
        EXPECT_LT(rms(s + n - edge, edge), body * 0.5);
        for (size_t at = n / 10; at + slice < n - n / 10; at += slice) EXPECT_GT(rms(s + at, slice), body * 0.3) << at;
    }
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 8.0) << kEffects[loudest - levels.begin()].file << " against "
                                         << kEffects[quietest - levels.begin()].file;
}

const char* const kTracks[] = {"classic.mid", "midifile0.mid", "midifile3.mid", "midifile7.mid"};

// The events of a track as the player hands them to the synthesiser: notes
// struck again while sounding, notes left sounding or released twice, parts
// (channels with notes), and parts other than the drums that have no
// instrument before their first note.
struct Notes {
    fluid_synth_t* synth = nullptr;
    int restruck = 0, parts = 0, parts_without_instrument = 0;
    std::map<int, bool> has_program, has_note;
    std::map<std::pair<int, int>, int> sounding;
    int hanging() const
    {
        return int(std::count_if(sounding.begin(), sounding.end(), [](const auto& key_count) { return key_count.second; }));
    }
};

int hear(void* data, fluid_midi_event_t* event)
{
    Notes& n = *static_cast<Notes*>(data);
    const int kind = fluid_midi_event_get_type(event), channel = fluid_midi_event_get_channel(event);
    if (kind == 0xC0) n.has_program[channel] = true;
    if (kind == 0x90 || kind == 0x80) {
        const bool on = kind == 0x90 && fluid_midi_event_get_velocity(event) > 0;
        int& count = n.sounding[{channel, fluid_midi_event_get_key(event)}];
        n.restruck += on && count > 0;
        count += on ? 1 : -1;
        if (on && !n.has_note[channel]) {
            n.has_note[channel] = true;
            n.parts += 1;
            n.parts_without_instrument += channel != 9 && !n.has_program[channel];
        }
    }
    return fluid_synth_handle_midi_event(n.synth, event);
}

TEST(GeneratedMusic, WellFormedArrangementsAtOneLoudnessForTwoToThreeMinutes)
{
    const auto found = std::find_if(std::begin(MIDI_SOUNDFONTS), std::end(MIDI_SOUNDFONTS),
                                    [](const char* path) { return std::ifstream(path).good(); });
    ASSERT_NE(found, std::end(MIDI_SOUNDFONTS)) << "no soundfont of the game's list";
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
    ASSERT_NE(fluid_synth_sfload(synth, *found, 1), FLUID_FAILED);

    constexpr int kBlock = 512;
    constexpr long kLongest = long(kRate) * 200;  // a player that never ends fails, not hangs
    constexpr long kOpening = long(kRate) * 15;
    constexpr size_t kWindow = size_t(kRate) * 5 / kBlock;  // 5 s, in blocks
    std::vector<double> levels;
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = read_data_file(name);
        const char* why = "";
        ASSERT_EQ(midi_validate(bytes.data(), bytes.size(), &why), 1) << "the music bank refuses it: " << why;
        EXPECT_EQ(get16be(&bytes[8]), 1) << "format";
        fluid_synth_system_reset(synth);
        fluid_player_t* player = new_fluid_player(synth);
        ASSERT_NE(player, nullptr);
        Notes notes;
        notes.synth = synth;
        fluid_player_set_playback_callback(player, hear, &notes);
        ASSERT_EQ(fluid_player_add_mem(player, bytes.data(), bytes.size()), FLUID_OK);
        ASSERT_EQ(fluid_player_play(player), FLUID_OK);
        std::vector<float> left(kBlock), right(kBlock);
        std::vector<double> opening;  // the energy of each block of the first 15 s
        double sum = 0.0;
        float peak = 0.0f;
        long frames = 0, last_sound = 0;
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && frames < kLongest) {
            ASSERT_EQ(fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1), FLUID_OK);
            double block = 0.0;
            for (int i = 0; i < kBlock; ++i) {
                block += double(left[i]) * left[i] + double(right[i]) * right[i];
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            sum += block;
            if (frames < kOpening) opening.push_back(block);
            if (block / (2 * kBlock) > 1e-6) last_sound = frames;
            frames += kBlock;
        }
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
        EXPECT_EQ(std::make_tuple(notes.restruck, notes.hanging(), notes.parts_without_instrument), std::make_tuple(0, 0, 0))
            << "notes struck again while sounding, left sounding, parts without an instrument";
        EXPECT_GE(notes.parts, 3) << "too few parts to be an arrangement";
        const double seconds = double(frames) / kRate;
        EXPECT_GE(seconds, 120.0);
        EXPECT_LE(seconds, 180.0);
        EXPECT_LT(seconds - double(last_sound) / kRate, 8.0) << "silence pads the end";
        auto db = [](double energy, double samples) { return 10.0 * std::log10(energy / samples + 1e-15); };
        const double track_db = db(sum, 2.0 * double(std::max(frames, 1L)));
        levels.push_back(track_db);
        // Every level starts its track from the beginning, so the opening is
        // what a player hears most: no 5 s of the first 15 may sit more than
        // 8 dB under the whole track.
        for (size_t at = 0; at + kWindow <= opening.size(); at += kWindow / 10) {
            const double energy = std::accumulate(opening.begin() + long(at), opening.begin() + long(at + kWindow), 0.0);
            EXPECT_GT(db(energy, 2.0 * double(kWindow * kBlock)), track_db - 8.0)
                << "the 5 s from " << double(at * kBlock) / kRate << " s";
        }
        // about -24 dBFS: clear over the effects, with room for the peaks
        EXPECT_GT(track_db, -27.0);
        EXPECT_LT(track_db, -21.0);
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
