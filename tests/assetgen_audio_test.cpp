// The generated effects and music, read back the way the game reads and plays them.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
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

std::string data_file(const char* name) { return file_text(std::string(KESTRAVA_DATA_DIR) + "/" + name); }

double rms(const uint8_t* s, size_t count)
{
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
    return std::sqrt(sum / static_cast<double>(count));
}

// A cry, the beam-up, a phrase, a zap fired every other frame, the engine
// restarted while its key is held.
constexpr std::tuple<const char*, double, double> kEffects[] = {
    {"ahh.WAV", 0.3, 0.999},   {"energize.WAV", 0.5, 3.0},  {"GAMEOVER.WAV", 1.0, 2.0}, {"Projectile.WAV", 0.05, 0.199},
    {"Engines.WAV", 0.2, 1.5}, {"Explosion.WAV", 0.4, 3.0}, {"LevCOMP.WAV", 0.5, 3.0}};

// 8-bit mono at 11,025 Hz (or heard at the wrong speed), near full scale without
// clipping or clicks, all within 8 dB of one another at their loudest 0.25 s.
TEST(GeneratedEffects, PlayAsTheBankPlaysThemAtOneLevelWithoutClicks)
{
    std::vector<double> levels;
    for (const auto& [name, min_seconds, max_seconds] : kEffects) {
        SCOPED_TRACE(name);
        const std::string file = data_file(name);
        WavData w{};
        const char* why = "";
        ASSERT_EQ(wav_parse(reinterpret_cast<const uint8_t*>(file.data()), file.size(), w, &why), 1) << why;
        const WAVEFORMATEX& f = w.format;
        EXPECT_EQ(std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample),
                  std::make_tuple(WAVE_FORMAT_PCM, 1, EFFECT_SAMPLE_RATE, 8));
        const uint8_t* s = w.data;
        const size_t n = w.data_bytes;
        const double seconds = double(n) / EFFECT_SAMPLE_RATE;
        EXPECT_TRUE(seconds >= min_seconds && seconds <= max_seconds) << seconds << " s";
        const auto [lo, hi] = std::minmax_element(s, s + n);
        EXPECT_GE(std::max(128 - *lo, *hi - 128), 100) << "too quiet";
        EXPECT_TRUE(*lo > 0 && *hi < 255) << "clipped";
        EXPECT_TRUE(std::abs(s[0] - 128) <= 2 && std::abs(s[n - 1] - 128) <= 2) << "a click at an end";
        const size_t window = std::min<size_t>(EFFECT_SAMPLE_RATE / 4, n);
        double loudest = 0.0;
        for (size_t at = 0; at + window <= n; at += window / 8) loudest = std::max(loudest, rms(s + at, window));
        levels.push_back(20.0 * std::log10(loudest / 128.0 + 1e-9));

        // The engine restarts as it ends while the key is held: loud ends would thump.
        if (std::string(name) != "Engines.WAV") continue;
        const size_t edge = EFFECT_SAMPLE_RATE / 200, slice = EFFECT_SAMPLE_RATE / 50;
        const double body = rms(s + n / 4, n / 2);
        EXPECT_TRUE(rms(s, edge) < body * 0.5 && rms(s + n - edge, edge) < body * 0.5) << "no taper";
        for (size_t at = n / 10; at + slice < n - n / 10; at += slice) EXPECT_GT(rms(s + at, slice), body * 0.3) << at;
    }
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 8.0) << std::get<0>(kEffects[loudest - levels.begin()]) << " against "
                                         << std::get<0>(kEffects[quietest - levels.begin()]);
}

// The notes the player hands the synthesiser: struck again while sounding,
// left sounding; parts (channels with notes), those without an instrument.
struct Notes {
    fluid_synth_t* synth = nullptr;
    int restruck = 0, parts = 0, parts_without_instrument = 0;
    std::map<int, bool> has_program, has_note;
    std::map<std::pair<int, int>, int> sounding;
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

// Format 1, accepted by the bank, every note released, every part with an
// instrument. Levels start a track at random, so all play at one loudness,
// clear of the effects and of full scale, for two to three minutes. Rendered
// as the game plays them (its soundfont, never the system's default by name;
// gain, reverb, chorus) at a quarter of the rate: levels move under 0.5 dB.
TEST(GeneratedMusic, WellFormedArrangementsAtOneLoudnessForTwoToThreeMinutes)
{
    const auto soundfont = std::find_if(std::begin(MIDI_SOUNDFONTS), std::end(MIDI_SOUNDFONTS),
                                        [](const char* path) { return std::ifstream(path).good(); });
    ASSERT_NE(soundfont, std::end(MIDI_SOUNDFONTS)) << "no soundfont of the game's list";
    constexpr double kRate = 11025.0;
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setnum(settings, "synth.gain", MUSIC_GAIN);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 1);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(synth, nullptr);
    ASSERT_NE(fluid_synth_sfload(synth, *soundfont, 1), FLUID_FAILED);

    constexpr int kBlock = 512;
    constexpr size_t kLongest = size_t(kRate) * 200 / kBlock;  // a player that never ends fails rather than hangs
    constexpr size_t kOpening = size_t(kRate) * 15 / kBlock, kWindow = size_t(kRate) * 5 / kBlock;
    auto db = [](double energy, size_t blocks) { return 10.0 * std::log10(energy / (2.0 * blocks * kBlock) + 1e-15); };
    const char* const tracks[] = {"classic.mid", "midifile0.mid", "midifile3.mid", "midifile7.mid"};
    std::vector<double> levels;
    for (const char* name : tracks) {
        SCOPED_TRACE(name);
        const std::string file = data_file(name);
        const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
        const char* why = "";
        ASSERT_EQ(midi_validate(bytes, file.size(), &why), 1) << "the music bank refuses it: " << why;
        EXPECT_EQ(get16be(bytes + 8), 1) << "format";
        fluid_synth_system_reset(synth);
        fluid_player_t* player = new_fluid_player(synth);
        Notes notes;
        notes.synth = synth;
        fluid_player_set_playback_callback(player, hear, &notes);
        ASSERT_EQ(fluid_player_add_mem(player, file.data(), file.size()), FLUID_OK);
        ASSERT_EQ(fluid_player_play(player), FLUID_OK);
        std::vector<float> left(kBlock), right(kBlock);
        std::vector<double> blocks;  // the energy of each block
        float peak = 0.0f;
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && blocks.size() < kLongest) {
            ASSERT_EQ(fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1), FLUID_OK);
            double block = 0.0;
            for (int i = 0; i < kBlock; ++i) {
                block += double(left[i]) * left[i] + double(right[i]) * right[i];
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            blocks.push_back(block);
        }
        EXPECT_EQ(std::make_tuple(notes.restruck, notes.parts_without_instrument), std::make_tuple(0, 0))
            << "notes struck again while sounding, parts without an instrument";
        EXPECT_EQ(std::count_if(notes.sounding.begin(), notes.sounding.end(), [](auto& n) { return n.second; }), 0)
            << "notes left sounding or released twice";
        EXPECT_GE(notes.parts, 3) << "too few parts to be an arrangement";
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
        const double seconds = double(blocks.size() * kBlock) / kRate;
        const auto last_sound = std::find_if(blocks.rbegin(), blocks.rend(), [&](double e) { return db(e, 1) > -60; });
        EXPECT_TRUE(seconds >= 120.0 && seconds <= 180.0) << seconds << " s";
        EXPECT_LT(double(last_sound - blocks.rbegin()) * kBlock / kRate, 8.0) << "silence pads the end";
        const double track_db = db(std::accumulate(blocks.begin(), blocks.end(), 0.0), blocks.size());
        levels.push_back(track_db);
        // Each level starts its track anew: no 5 s of the first 15 over 8 dB under it.
        for (size_t at = 0; at + kWindow <= std::min(kOpening, blocks.size()); at += kWindow / 10) {
            const double energy = std::accumulate(blocks.begin() + long(at), blocks.begin() + long(at + kWindow), 0.0);
            EXPECT_GT(db(energy, kWindow), track_db - 8.0) << "the 5 s from " << double(at * kBlock) / kRate << " s";
        }
        // about -24 dBFS: clear over the effects, with room for the peaks
        EXPECT_TRUE(track_db > -27.0 && track_db < -21.0) << track_db << " dB";
        EXPECT_LT(20.0 * std::log10(peak + 1e-15), -2.0) << "peaks too close to full scale";
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    ASSERT_EQ(levels.size(), std::size(tracks));
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 3.0) << tracks[loudest - levels.begin()] << " against "
                                         << tracks[quietest - levels.begin()];
}

}  // namespace
