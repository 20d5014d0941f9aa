// The generated sound effects and music, read back the way the game reads
// them: effects through the effect bank's WAV parser, music through a small
// Standard MIDI File reader of the test's own and through FluidSynth with
// the default soundfont, offline.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "audio/midi.h"
#include "formats/midi_file.h"
#include "formats/wav.h"

namespace {

std::vector<uint8_t> read_data_file(const std::string& name)
{
    std::ifstream in(std::string(KESTRAVA_DATA_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------- effects

struct EffectSpec {
    const char* file;
    double min_seconds, max_seconds;
};

constexpr EffectSpec kEffects[] = {
    {"ahh.WAV", 0.3, 0.999},        // a cry, under a second
    {"energize.WAV", 0.5, 3.0},     // the beam-up
    {"GAMEOVER.WAV", 1.0, 2.0},     // a phrase of one to two seconds
    {"Projectile.WAV", 0.05, 0.199},  // a short zap, fired every other frame
    {"Engines.WAV", 0.2, 1.5},      // restarted while the key is held
    {"Explosion.WAV", 0.4, 3.0},
    {"LevCOMP.WAV", 0.5, 3.0},
};

struct Effect {
    std::vector<uint8_t> file;
    WavData wav{};
    bool ok = false;
    const char* why = "";
};

Effect load_effect(const char* name)
{
    Effect e;
    e.file = read_data_file(name);
    e.ok = !e.file.empty() && wav_parse(e.file.data(), e.file.size(), e.wav, &e.why) == 1;
    return e;
}

// RMS of the loudest quarter second, in dB of full scale.
double loudest_quarter_second_db(const WavData& w)
{
    const size_t window = std::min<size_t>(EFFECT_SAMPLE_RATE / 4, w.data_bytes);
    double best = 0.0;
    for (size_t start = 0; start + window <= w.data_bytes; start += window / 8) {
        double sum = 0.0;
        for (size_t i = start; i < start + window; ++i) {
            const double v = (w.data[i] - 128.0) / 128.0;
            sum += v * v;
        }
        best = std::max(best, sum / static_cast<double>(window));
    }
    return 10.0 * std::log10(std::max(best, 1e-12));
}

TEST(GeneratedEffects, ReadBackAsTheBankPlaysThem)
{
    for (const EffectSpec& spec : kEffects) {
        SCOPED_TRACE(spec.file);
        const Effect e = load_effect(spec.file);
        ASSERT_TRUE(e.ok) << e.why;
        // The bank plays every buffer as 8-bit mono PCM at 11,025 Hz: the
        // file must say exactly that or it is heard at the wrong speed.
        EXPECT_EQ(e.wav.format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(e.wav.format.nChannels, 1);
        EXPECT_EQ(e.wav.format.nSamplesPerSec, EFFECT_SAMPLE_RATE);
        EXPECT_EQ(e.wav.format.nAvgBytesPerSec, EFFECT_SAMPLE_RATE);
        EXPECT_EQ(e.wav.format.nBlockAlign, 1);
        EXPECT_EQ(e.wav.format.wBitsPerSample, 8);
        const double seconds = static_cast<double>(e.wav.data_bytes) / EFFECT_SAMPLE_RATE;
        EXPECT_GE(seconds, spec.min_seconds);
        EXPECT_LE(seconds, spec.max_seconds);
    }
}

TEST(GeneratedEffects, PeakNearFullScaleWithoutClippingOrClicks)
{
    for (const EffectSpec& spec : kEffects) {
        SCOPED_TRACE(spec.file);
        const Effect e = load_effect(spec.file);
        ASSERT_TRUE(e.ok) << e.why;
        const uint8_t* s = e.wav.data;
        const size_t n = e.wav.data_bytes;
        const auto [lo_at, hi_at] = std::minmax_element(s, s + n);
        const int lo = *lo_at, hi = *hi_at;
        EXPECT_GE(std::max(128 - lo, hi - 128), 100) << "too quiet";
        // a sample pinned at either rail is a clipped waveform
        EXPECT_GT(lo, 0);
        EXPECT_LT(hi, 255);
        // starting or stopping away from the midpoint is a click
        EXPECT_NEAR(s[0], 128, 2) << "first sample";
        EXPECT_NEAR(s[n - 1], 128, 2) << "last sample";
    }
}

TEST(GeneratedEffects, LevelsMatchOneAnother)
{
    std::vector<double> levels;
    for (const EffectSpec& spec : kEffects) {
        const Effect e = load_effect(spec.file);
        ASSERT_TRUE(e.ok) << spec.file << ": " << e.why;
        levels.push_back(loudest_quarter_second_db(e.wav));
    }
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 8.0) << "loudest " << kEffects[loudest - levels.begin()].file << " at "
                                          << *loudest << " dB, quietest " << kEffects[quietest - levels.begin()].file
                                          << " at " << *quietest << " dB";
}

// The engine sound is restarted as soon as it has ended while the key is
// held, so a loud end or start would thump at every restart: both ends
// must taper, and the body must stay up (no gaps within it).
TEST(GeneratedEffects, EngineRestartsWithoutAThump)
{
    const Effect e = load_effect("Engines.WAV");
    ASSERT_TRUE(e.ok) << e.why;
    const size_t n = e.wav.data_bytes;
    const size_t edge = EFFECT_SAMPLE_RATE / 200;  // 5 ms
    auto rms = [&](size_t from, size_t count) {
        double sum = 0.0;
        for (size_t i = from; i < from + count; ++i) sum += (e.wav.data[i] - 128.0) * (e.wav.data[i] - 128.0);
        return std::sqrt(sum / static_cast<double>(count));
    };
    const double body = rms(n / 4, n / 2);
    EXPECT_LT(rms(0, edge), body * 0.5);
    EXPECT_LT(rms(n - edge, edge), body * 0.5);
    const size_t slice = EFFECT_SAMPLE_RATE / 50;  // 20 ms
    for (size_t at = n / 10; at + slice < n - n / 10; at += slice) EXPECT_GT(rms(at, slice), body * 0.3) << at;
}

// ------------------------------------------------------------------ music

const char* const kTracks[] = {"classic.mid", "midifile0.mid", "midifile3.mid", "midifile7.mid"};

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

struct NoteEvent {
    uint32_t tick;
    int channel, key;
    bool on;
};

struct Smf {
    bool ok = false;
    std::string why;
    uint16_t format = 0, declared_tracks = 0, division = 0;
    int track_chunks = 0;
    std::vector<std::pair<uint32_t, uint32_t>> tempos;  // tick, microseconds per quarter
    std::vector<NoteEvent> notes;
    std::map<int, uint32_t> first_program;  // channel -> tick of its first program change
    std::map<int, uint32_t> first_note;     // channel -> tick of its first note
    uint32_t last_tick = 0;                 // of the latest end of track
};

// Reads one track; returns false with `why` on the first fault.
bool read_track(const uint8_t* p, const uint8_t* end, Smf& smf)
{
    uint32_t tick = 0;
    uint8_t running = 0;
    auto number = [&](uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            if (p == end) return false;
            const uint8_t b = *p++;
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    };
    while (p < end) {
        uint32_t delta;
        if (!number(delta)) return smf.why = "bad delta time", false;
        tick += delta;
        if (p == end) return smf.why = "track ends after a delta time", false;
        uint8_t status = *p;
        if (status == 0xFF) {
            if (end - p < 2) return smf.why = "meta event cut short", false;
            const uint8_t type = p[1];
            p += 2;
            uint32_t len;
            if (!number(len) || static_cast<uint32_t>(end - p) < len) return smf.why = "meta length", false;
            if (type == 0x51) {
                if (len != 3) return smf.why = "tempo of the wrong length", false;
                smf.tempos.emplace_back(tick, uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
            }
            p += len;
            running = 0;
            if (type == 0x2F) {
                if (len != 0) return smf.why = "end of track with data", false;
                if (p != end) return smf.why = "events after the end of track", false;
                smf.last_tick = std::max(smf.last_tick, tick);
                return true;
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            ++p;
            uint32_t len;
            if (!number(len) || static_cast<uint32_t>(end - p) < len) return smf.why = "sysex length", false;
            p += len;
            running = 0;
            continue;
        }
        if (status & 0x80) {
            running = status;
            ++p;
        } else if (running == 0) {
            return smf.why = "data byte without a running status", false;
        }
        const int kind = running & 0xF0, channel = running & 0x0F;
        const int len = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (end - p < len) return smf.why = "channel event cut short", false;
        for (int i = 0; i < len; ++i)
            if (p[i] & 0x80) return smf.why = "status byte inside a channel event", false;
        if (kind == 0x90 || kind == 0x80) {
            const bool on = kind == 0x90 && p[1] > 0;
            smf.notes.push_back({tick, channel, p[0], on});
            if (on && !smf.first_note.count(channel)) smf.first_note[channel] = tick;
        }
        if (kind == 0xC0 && !smf.first_program.count(channel)) smf.first_program[channel] = tick;
        p += len;
    }
    return smf.why = "track without an end of track", false;
}

Smf read_smf(const std::vector<uint8_t>& b)
{
    Smf smf;
    if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd" || be32(&b[4]) != 6) {
        smf.why = "no MThd of six bytes";
        return smf;
    }
    smf.format = be16(&b[8]);
    smf.declared_tracks = be16(&b[10]);
    smf.division = be16(&b[12]);
    size_t pos = 14;
    while (pos < b.size()) {
        if (b.size() - pos < 8 || std::string(b.begin() + pos, b.begin() + pos + 4) != "MTrk") {
            smf.why = "something other than a track chunk at " + std::to_string(pos);
            return smf;
        }
        const uint32_t len = be32(&b[pos + 4]);
        if (b.size() - pos - 8 < len) {
            smf.why = "track length runs past the end of the file";
            return smf;
        }
        if (!read_track(&b[pos + 8], &b[pos + 8] + len, smf)) return smf;
        ++smf.track_chunks;
        pos += 8 + len;
    }
    smf.ok = true;
    return smf;
}

double seconds_of(const Smf& smf, uint32_t end_tick)
{
    std::vector<std::pair<uint32_t, uint32_t>> tempos = smf.tempos;
    std::stable_sort(tempos.begin(), tempos.end(), [](auto& a, auto& b) { return a.first < b.first; });
    double seconds = 0.0;
    uint32_t at = 0, us = 500000;  // the default tempo until the first change
    for (const auto& [tick, value] : tempos) {
        if (tick >= end_tick) break;
        seconds += double(tick - at) * us / smf.division / 1e6;
        at = tick;
        us = value;
    }
    return seconds + double(end_tick - at) * us / smf.division / 1e6;
}

TEST(GeneratedMusic, FilesAreWellFormedFormatOne)
{
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = read_data_file(name);
        const char* why = "";
        EXPECT_EQ(midi_validate(bytes.data(), bytes.size(), &why), 1) << "the music bank refuses it: " << why;
        const Smf smf = read_smf(bytes);
        ASSERT_TRUE(smf.ok) << smf.why;
        EXPECT_EQ(smf.format, 1);
        EXPECT_EQ(smf.track_chunks, smf.declared_tracks);
        EXPECT_GE(smf.track_chunks, 3) << "a tempo track and at least two parts";
        EXPECT_GT(smf.division, 0);
        EXPECT_LT(smf.division, 0x8000) << "ticks per quarter, not SMPTE";
        ASSERT_FALSE(smf.tempos.empty());
        EXPECT_EQ(smf.tempos.front().first, 0u) << "the tempo is set from the start";
    }
}

TEST(GeneratedMusic, EveryNoteEndsAndEveryPartHasAnInstrument)
{
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        const Smf smf = read_smf(read_data_file(name));
        ASSERT_TRUE(smf.ok) << smf.why;
        // Events of one tick in file order: a note may end and start again on
        // the same tick, but striking a key that still sounds would have its
        // first release cut the second note short.
        std::vector<NoteEvent> order = smf.notes;
        std::stable_sort(order.begin(), order.end(), [](const NoteEvent& a, const NoteEvent& b) {
            return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
        });
        std::map<std::pair<int, int>, int> sounding;
        int restruck = 0;
        for (const NoteEvent& n : order) {
            int& count = sounding[{n.channel, n.key}];
            if (n.on && count > 0) ++restruck;
            count += n.on ? 1 : -1;
            EXPECT_GE(count, 0) << "a release without a note, channel " << n.channel + 1 << " key " << n.key;
        }
        EXPECT_EQ(restruck, 0) << "notes struck again while still sounding";
        for (const auto& [key, count] : sounding)
            EXPECT_EQ(count, 0) << "channel " << key.first + 1 << " key " << key.second << " left hanging";
        EXPECT_GE(smf.first_note.size(), 3u) << "too few parts to be an arrangement";
        for (const auto& [channel, tick] : smf.first_note) {
            if (channel == 9) continue;  // drums need no program
            ASSERT_TRUE(smf.first_program.count(channel)) << "channel " << channel + 1 << " has no instrument";
            EXPECT_LE(smf.first_program.at(channel), tick) << "channel " << channel + 1;
        }
    }
}

TEST(GeneratedMusic, EachTrackLastsTwoToThreeMinutes)
{
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        const Smf smf = read_smf(read_data_file(name));
        ASSERT_TRUE(smf.ok) << smf.why;
        uint32_t last_note = 0;
        for (const NoteEvent& n : smf.notes) last_note = std::max(last_note, n.tick);
        const double seconds = seconds_of(smf, smf.last_tick);
        EXPECT_GE(seconds, 120.0);
        EXPECT_LE(seconds, 180.0);
        // the music plays to the end: no long silence padding out the length
        EXPECT_LT(seconds - seconds_of(smf, last_note), 8.0);
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

// FluidSynth offline: no audio driver, the player timed by the samples it
// renders; the first ten seconds of every track must make real sound, with
// the soundfont and gain the game plays them with.
TEST(GeneratedMusic, RendersToSoundWithTheGamesSoundfont)
{
    const char* soundfont = games_soundfont();
    ASSERT_TRUE(std::ifstream(soundfont).good()) << soundfont;
    fluid_settings_t* settings = new_fluid_settings();
    ASSERT_NE(settings, nullptr);
    fluid_settings_setnum(settings, "synth.sample-rate", 44100.0);
    fluid_settings_setnum(settings, "synth.gain", MUSIC_GAIN);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(synth, nullptr);
    ASSERT_NE(fluid_synth_sfload(synth, soundfont, 1), FLUID_FAILED);

    constexpr int kRate = 44100, kSeconds = 10, kBlock = 512;
    for (const char* name : kTracks) {
        SCOPED_TRACE(name);
        fluid_synth_system_reset(synth);
        fluid_player_t* player = new_fluid_player(synth);
        ASSERT_NE(player, nullptr);
        const std::string path = std::string(KESTRAVA_DATA_DIR) + "/" + name;
        ASSERT_EQ(fluid_player_add(player, path.c_str()), FLUID_OK);
        ASSERT_EQ(fluid_player_play(player), FLUID_OK);
        std::vector<int16_t> block(2 * kBlock);
        double sum = 0.0;
        int peak = 0;
        long frames = 0;
        for (; frames < long(kRate) * kSeconds; frames += kBlock) {
            ASSERT_EQ(fluid_synth_write_s16(synth, kBlock, block.data(), 0, 2, block.data(), 1, 2), FLUID_OK);
            for (int16_t v : block) {
                sum += double(v) * v;
                peak = std::max(peak, std::abs(int(v)));
            }
        }
        EXPECT_EQ(fluid_player_get_status(player), FLUID_PLAYER_PLAYING) << "stopped within ten seconds";
        const double rms_db = 10.0 * std::log10(sum / double(2 * frames) / (32768.0 * 32768.0) + 1e-15);
        EXPECT_GT(rms_db, -45.0) << "silent or nearly so";
        EXPECT_LT(peak, 32767) << "clipped";
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}

// The game plays its music with its soundfont at its synthesiser gain,
// reverb and chorus on, and every level starts a track at random from its
// beginning: moving from one level to the next must not make the music
// jump, nor may a track open far under its own level. Each
// track is rendered whole, the way the game plays it but at a quarter of
// its sample rate to keep the test quick; that moves the levels by less
// than half a decibel. The chorus alone lifts some string parts of this
// soundfont by over 10 dB, so it has to be in the render.
TEST(GeneratedMusic, TracksPlayAtOneLoudness)
{
    const char* soundfont = games_soundfont();
    ASSERT_TRUE(std::ifstream(soundfont).good()) << soundfont;
    fluid_settings_t* settings = new_fluid_settings();
    ASSERT_NE(settings, nullptr);
    fluid_settings_setnum(settings, "synth.sample-rate", 11025.0);
    fluid_settings_setnum(settings, "synth.gain", MUSIC_GAIN);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 1);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(synth, nullptr);
    ASSERT_NE(fluid_synth_sfload(synth, soundfont, 1), FLUID_FAILED);

    constexpr int kBlock = 512;
    constexpr long kLongest = 11025L * 200;  // a player that never ends fails, not hangs
    constexpr long kOpening = 11025L * 15, kOpeningWindow = 11025L * 5;
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
        long frames = 0;
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
            frames += kBlock;
        }
        EXPECT_LT(frames, kLongest) << "still playing after 200 s";
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
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
            EXPECT_GT(window_db, rms_db - 8.0) << "the 5 s from " << double(at * kBlock) / 11025.0 << " s";
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
    EXPECT_LT(*loudest - *quietest, 3.0) << "loudest " << kTracks[loudest - levels.begin()] << " at " << *loudest
                                         << " dB, quietest " << kTracks[quietest - levels.begin()] << " at "
                                         << *quietest << " dB";
}

}  // namespace
