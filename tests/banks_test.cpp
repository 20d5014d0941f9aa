// The effect and music banks' slot rules on the headless edge, and the WAV
// and MIDI checks. (GCC 12 at -O3 sees writes past a vector in the MIDI
// builders that cannot happen, depending on how they are inlined.)
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "audio/midi.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "formats/midi_file.h"
#include "formats/wav.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

class Banks : public ::testing::Test {
protected:
    TempDir dir;
    const Bytes samples = {0x80, 0xFF, 0x00, 0x40, 0xC0};
    std::string effect, track;
    void SetUp() override
    {
        effect = dir.write("effect.wav", pcm8_wave(samples));
        track = dir.write("track.mid", chord_file());
        report_clear();
        sfx_init(), midi_init();
    }
    void TearDown() override
    {
        midi_shutdown();
        sfx_shutdown();
    }
    int load(const std::string& path) { return sfx_load_wav(path.c_str()); }
    // What a load meant to fail reported.
    static std::string refused(int id)
    {
        const std::string text = id == -1 ? report_text() : "loaded into slot " + std::to_string(id);
        report_clear();
        return text;
    }
};

// An effect slot as one record: in use, id, length, its bytes if any.
std::tuple<int, int, int, Bytes> slot(int id)
{
    const SoundSlot& s = sfx_slot(id);
    return {s.in_use, s.id, s.data_bytes, s.buffer ? Bytes(s.buffer, s.buffer + s.data_bytes) : Bytes{}};
}

// A deleted slot keeps its place and is not reused; without a device every
// effect is silent, so the game's engine sound is started freely. The id of a
// failed load (-1), or one past the bank, names no slot: nothing outside the
// bank is touched (the sanitizers watch).
TEST_F(Banks, EffectSlotsFromLoadToShutdown)
{
    sfx_play(0), sfx_play(-1), sfx_stop(-1), sfx_delete(-1);
    EXPECT_EQ(std::tuple(sfx_status(0), sfx_status(-1), sfx_status(SOUND_SLOTS), sfx_slot(-1).buffer),
              std::tuple(-1, -1, -1, nullptr));
    for (int i = 0; i < SOUND_SLOTS; ++i) ASSERT_EQ(load(effect), i);
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 5, samples));
    EXPECT_NE(sfx_slot(0).buffer, sfx_slot(1).buffer);
    EXPECT_EQ(load(effect), -1);
    EXPECT_NE(std::string(report_text()).find("every sound slot is taken"), std::string::npos) << report_text();
    sfx_play(1);
    EXPECT_EQ(sfx_status(1), 0);

    sfx_init();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(load(effect), i);
    sfx_delete(0);
    EXPECT_EQ(slot(0), std::make_tuple(1, 0, 5, Bytes{}));
    EXPECT_EQ(sfx_status(0), -1);
    EXPECT_EQ(load(effect), 3);
    sfx_init();
    for (int i : {0, 2, 255}) EXPECT_EQ(slot(i), std::make_tuple(0, i, 0, Bytes{})) << i;
    ASSERT_EQ(load(effect), 0);
    ASSERT_EQ(load(effect), 1);
    sfx_shutdown();
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 5, Bytes{})) << "nothing dangles for a late play";
    sfx_play(1);
    EXPECT_EQ(sfx_status(1), -1);
}

TEST_F(Banks, RefusedFilesLeaveTheirSlotFree)
{
    EXPECT_EQ(refused(load(dir.file("missing.wav"))), dir.file("missing.wav") + ": No such file or directory");
    // Taken as its bytes, 16-bit stereo would play as noise at the wrong
    // speed: it is converted to the bank's 8-bit mono, half as many frames here.
    Bytes pcm16;
    for (int frame = 0; frame < 2000; ++frame)  // left +1/4, right +3/4 of full scale
        for (const uint16_t v : {0x2000, 0x6000}) pcm16.insert(pcm16.end(), {uint8_t(v), uint8_t(v >> 8)});
    const Bytes wide = riff_wave({chunk("fmt ", fmt_body(1, 2, 22050, 16)), chunk("data", pcm16)});
    ASSERT_EQ(load(dir.write("wide.wav", wide)), 0) << report_text();
    EXPECT_NEAR(sfx_slot(0).data_bytes, 1000, 10);
    ASSERT_NE(sfx_slot(0).buffer, nullptr);
    EXPECT_NEAR(sfx_slot(0).buffer[500], 128 + 64, 2) << "the channels' mean, half scale above silence";

    const Bytes chord = chord_file();
    const std::string path = dir.write("cut.mid", Bytes(chord.begin(), chord.end() - 5));
    EXPECT_EQ(refused(midi_load(path.c_str())), path + ": a track runs past the end of the file");
    EXPECT_EQ(midi_load(track.c_str()), 0);
}

// The first six music slots: Free, Loaded, Playing or Stopped.
std::string states()
{
    std::string out;
    for (int i = 0; i < 6; ++i) out += "FLPS"[midi_slot(i).play_state - MIDI_FREE];
    return out;
}

// One track plays at a time; stopping any loaded track clears the current
// one; an empty slot returns 0 and changes nothing.
TEST_F(Banks, MusicSlotsAndTheCurrentTrack)
{
    for (int i = 0; i < MUSIC_SLOTS; ++i) {
        ASSERT_EQ(midi_load(track.c_str()), i);
        EXPECT_TRUE(midi_slot(i).id == i && midi_slot(i).segment) << i;
    }
    EXPECT_EQ(midi_load(track.c_str()), -1);
    EXPECT_NE(std::string(report_text()).find("every music slot is taken"), std::string::npos);
    ASSERT_EQ(midi_play(3), 1);
    midi_delete_all();
    EXPECT_EQ(midi_current_track(), -1) << "no track plays from an empty bank";
    for (int i = 0; i < MUSIC_SLOTS; ++i)
        EXPECT_TRUE(midi_slot(i).play_state == MIDI_FREE && !midi_slot(i).segment) << i;
    EXPECT_EQ(midi_play(3), 0);

    midi_init();
    EXPECT_EQ(midi_current_track(), -1) << "a new bank has no current track";
    for (int i = 0; i < 4; ++i) ASSERT_EQ(midi_load(track.c_str()), i);
    EXPECT_EQ(states(), "LLLLFF");
    // Play or stop which id; the result, the current track, the states after.
    const std::tuple<bool, int, int, int, const char*> steps[] = {
        {true, 2, 1, 2, "LLPLFF"},  {true, 0, 1, 0, "PLSLFF"},  {true, 0, 1, 0, "PLSLFF"},  // again: from the top
        {true, 5, 0, 0, "PLSLFF"},  {false, 5, 0, 0, "PLSLFF"}, {false, 3, 1, -1, "PLSSFF"},
        {false, 0, 1, -1, "SLSSFF"}, {true, 0, 1, 0, "PLSSFF"},  // a stopped track plays again
    };
    for (const auto& [play, id, result, current, want] : steps) {
        const int got = play ? midi_play(id) : midi_stop(id);
        const auto after = std::make_tuple(got, midi_current_track(), states());
        EXPECT_EQ(after, std::make_tuple(result, current, std::string(want))) << (play ? "play " : "stop ") << id;
    }
}

// The WAV reader's refusal ("" if none) and the samples, which lie in the file.
std::pair<std::string, Bytes> read(const Bytes& file, WAVEFORMATEX* format = nullptr)
{
    WavData w{};
    const char* why = "(no reason)";
    if (!wav_parse(file.data(), file.size(), w, &why)) return {why, {}};
    EXPECT_TRUE(w.data >= file.data() && w.data + w.data_bytes <= file.data() + file.size()) << "outside the file";
    if (format) *format = w.format;
    return {"", Bytes(w.data, w.data + w.data_bytes)};
}

// Cut samples or a wrong RIFF size play what there is; a short RIFF size cuts the data.
TEST(WavParse, TakesWhatCanBeReadSafelyAndRefusesTheRest)
{
    const Bytes some = {1, 2, 3, 4, 5, 6}, data = chunk("data", some), fmt8 = chunk("fmt ", fmt_body(1, 1, 11025, 8));
    const Bytes good = riff_wave({fmt8, data}), fmt16 = fmt_body(1, 1, 11025, 8), odd = {0x10, 0x80, 0xF0};
    Bytes not_riff = good, not_wave = good, cut = pcm8_wave({10, 20, 30, 40, 50, 60, 70, 80});
    not_riff[0] = 'X';
    not_wave[8] = 'A';
    cut.resize(cut.size() - 3);
    struct Case {
        Bytes file;
        const char* why;
        Bytes samples = {};
    };
    const Case cases[] = {
        {riff_wave({chunk("LIST", {'a', 'b', 'c'}), chunk("fmt ", fmt_body(1, 2, 22050, 16, true)),
                    chunk("fact", {9, 9, 9, 9, 9}), data}), "", {1, 2, 3, 4}},  // whole frames only
        {wav_encode_pcm8(odd.data(), 3, 11025), "", odd},
        {cut, "", {10, 20, 30, 40, 50}},
        {riff_wave({fmt8, chunk("data", some, 0xFFFFFFFF)}, 0xFFFFFFFF), "", some},
        {riff_wave({fmt8, data}, uint32_t(good.size() - 8 - 2)), "", {1, 2, 3, 4}},
        {{}, "truncated RIFF header"}, {Bytes(good.begin(), good.begin() + 11), "truncated RIFF header"},
        {not_riff, "not a RIFF WAVE file"}, {not_wave, "not a RIFF WAVE file"},
        {riff_wave({fmt8, data}, 3), "RIFF size is smaller than its own header"},
        {riff_wave({}), "no format chunk"}, {riff_wave({data}), "no format chunk"},
        {riff_wave({chunk("fmt ", fmt16, 4000)}), "format chunk runs past the end of the file"},
        {riff_wave({chunk("LIST", {1, 2}, 0x7FFFFFF0), fmt8, data}), "a chunk size runs past the end of the file"},
        {riff_wave({fmt8, chunk("LIST", {1, 2}, 0xFFFFFFF0), data}), "a chunk size runs past the end of the file"},
        {riff_wave({chunk("fmt ", Bytes(fmt16.begin(), fmt16.begin() + 14)), data}),
         "format chunk is shorter than 16 bytes"},
        {riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), data}), "not PCM data"},
        {riff_wave({chunk("fmt ", fmt_body(0xFFFE, 1, 11025, 8)), data}),
         "extensible format chunk is too short for its subformat"},
        {riff_wave({fmt8}), "no data chunk after the format chunk"},
        {riff_wave({data, fmt8}), "no data chunk after the format chunk"},
        // An odd chunk at the very end without its pad byte is no overrun.
        {riff_wave({fmt8, Bytes{'L', 'I', 'S', 'T', 3, 0, 0, 0, 1, 2, 3}}), "no data chunk after the format chunk"},
        {riff_wave({fmt8, chunk("data", {})}), "data chunk is empty"},
        {riff_wave({fmt8, Bytes{'d', 'a', 't', 'a', 10, 0, 0, 0}}), "data chunk is empty"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(read(cases[i].file), std::make_pair(std::string(cases[i].why), cases[i].samples)) << i;
    WAVEFORMATEX f{};
    read(cases[0].file, &f);
    EXPECT_EQ(std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.nAvgBytesPerSec, f.nBlockAlign,
                              f.wBitsPerSample),
              std::make_tuple(1, 2, 22050u, 88200u, 4, 16));
    // Every cut of a good file is read within its bounds or refused.
    const Bytes& full = cases[0].file;
    for (size_t n = 0; n <= full.size(); ++n) {
        const auto [why, samples] = read(Bytes(full.begin(), full.begin() + long(n)));
        EXPECT_TRUE(why != "" || !samples.empty()) << n;
    }
}

// The MIDI checks' refusal, "" where the file is accepted.
std::string refusal(const Bytes& file)
{
    const char* why = "(no reason)";
    return midi_validate(file.data(), file.size(), &why) ? "" : why;
}

// Whole files, then single tracks that would be read past their end.
TEST(MidiValidate, RefusesWhatCannotBeReadSafely)
{
    const Bytes chord = chord_file();
    Bytes not_midi = chord, long_header = chord, short_header = chord;
    not_midi[1] = 'X';
    long_header[7] = 200;
    short_header[7] = 4;
    // a text event, a sysex, running status across notes
    const Bytes conductor = {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,
                             0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAB, 0xCD};  // a chunk of another kind
    const std::pair<Bytes, const char*> cases[] = {
        {chord_file(), ""},
        {smf(1, 2, 96, {mtrk(conductor), alien, mtrk(chord_track(96, 192))}), ""},
        // tracks beyond the declared count are not the player's business
        {smf(0, 1, 96, {mtrk(chord_track(10, 20)), Bytes{'M', 'T', 'r', 'k', 0xFF, 0, 0, 0}}), ""},
        {{}, "truncated MIDI header"}, {Bytes(chord.begin(), chord.begin() + 13), "truncated MIDI header"},
        {not_midi, "not a Standard MIDI File"}, {short_header, "MIDI header is shorter than 6 bytes"},
        {long_header, "MIDI header runs past the end of the file"}, {smf(0, 0, 480, {}), "the file holds no track"},
        {smf(3, 1, 480, {mtrk(chord_track(1, 2))}), "unknown MIDI file format"},
        {smf(0, 1, 0xE728, {mtrk(chord_track(1, 2))}), "SMPTE time division is not supported"},
        {smf(0, 1, 0, {mtrk(chord_track(1, 2))}), "zero ticks per quarter note"},
        {smf(1, 3, 480, {mtrk(chord_track(1, 2)), mtrk(chord_track(1, 2))}),
         "the file holds fewer tracks than its header declares"},
        {smf(0, 1, 480, {mtrk(chord_track(1, 2), 1000)}), "a track runs past the end of the file"},
        {smf(0, 1, 480, {Bytes{'J', 'U', 'N', 'K', 0x7F, 0xFF, 0xFF, 0xFF}, mtrk(chord_track(1, 2))}),
         "a track runs past the end of the file"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(refusal(cases[i].first), cases[i].second) << i;
    const std::pair<Bytes, const char*> tracks[] = {
        {{}, "a track has no end-of-track event"}, {{0x00, 0x90, 60, 100}, "a track has no end-of-track event"},
        {{0x81}, "a track ends inside a delta time"}, {{0x00, 0x90, 60}, "a track ends inside a channel event"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00}, "a track ends inside a delta time"},
        {{0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}, "a track has a data byte where a status byte belongs"},
        {{0, 0xFF}, "a track ends inside a meta event"}, {{0, 0xFF, 0x2F, 1, 0}, "a meta event has the wrong length"},
        {{0x00, 0x90, 60, 0x90, 0x00, 0xFF, 0x2F, 0x00}, "a channel event is cut short by a status byte"},
        {{0x00, 0xFF, 0x01, 0x20, 'a'}, "a meta event runs past the end of its track"},
        {{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00}, "a meta event has the wrong length"},
        {{0x00, 0xF0, 0x10, 0x7E}, "a system-exclusive event runs past the end of its track"},
        {{0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}, "a track holds a status byte that has no place in a file"},
        // running status does not survive a meta event
        {{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 100, 0x00, 0xFF, 0x2F, 0x00},
         "a track has a data byte where a status byte belongs"},
        {{0x00, 0xFF, 0x2F, 0x00, 0x00}, "a track goes on after its end-of-track event"},
    };
    for (const auto& [events, why] : tracks) EXPECT_EQ(refusal(smf(0, 1, 480, {mtrk(events)})), why) << why;
    // Every cut of a good file is refused, never read past; random bytes are the fuzzer's.
    const Bytes good = smf(1, 2, 96, {mtrk(chord_track(10, 20)), mtrk(chord_track(30, 40))});
    for (size_t n = 0; n < good.size(); ++n) EXPECT_NE(refusal(Bytes(good.begin(), good.begin() + long(n))), "") << n;
}

}  // namespace
