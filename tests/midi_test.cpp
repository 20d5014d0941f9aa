// The music bank's slot and current-track rules on the headless edge (no
// synthesiser: the rules are the same with and without one), and the checks
// that refuse a MIDI file before the synthesiser could read it.
// GCC 12 at -O3 reports a write past the end of a vector in the MIDI
// builders that cannot happen; it comes and goes with how they are inlined.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "audio/midi.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "formats/midi_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

class MidiBank : public ::testing::Test {
protected:
    TempDir dir;
    std::string track;
    void SetUp() override { track = dir.write("track.mid", chord_file()); }
    void TearDown() override
    {
        midi_shutdown();
        sfx_shutdown();
    }
    int load(const std::string& path) { return midi_load(path.c_str()); }
};

// The first six slots' states, a letter each: Free, Loaded, Playing, Stopped.
std::string states()
{
    std::string out;
    for (int i = 0; i < 6; ++i) out += "FLPS"[midi_slot(i).play_state - MIDI_FREE];
    return out;
}

// The headless edge has no sound device by design: both banks start and say
// nothing about it. A refused file leaves its slot free; ids go in load
// order up to 64; deleting them all frees every slot. One track plays at a
// time; stopping any loaded track clears the current one; an empty slot
// returns 0 and changes nothing.
TEST_F(MidiBank, RefusalsSlotsAndTheCurrentTrack)
{
    testing::internal::CaptureStderr();
    const bool started = sfx_init() == 1 && midi_init() == 1;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(started);
    EXPECT_EQ(midi_synth_ready(), 0);
    EXPECT_EQ(midi_current_track(), -1);
    report_clear();
    Bytes cut = chord_file();
    cut.resize(cut.size() - 5);
    const std::string path = dir.write("cut.mid", cut);
    EXPECT_EQ(load(path), -1);
    EXPECT_EQ(std::string(report_text()), path + ": a track runs past the end of the file");
    report_clear();
    EXPECT_EQ(load(dir.file("nowhere.mid")), -1);
    EXPECT_EQ(std::string(report_text()), dir.file("nowhere.mid") + ": No such file or directory");
    report_clear();
    for (int i = 0; i < MUSIC_SLOTS; ++i) {
        ASSERT_EQ(load(track), i);
        EXPECT_EQ(midi_slot(i).id, i);
        EXPECT_NE(midi_slot(i).segment, nullptr);
    }
    EXPECT_EQ(load(track), -1);
    EXPECT_NE(std::string(report_text()).find("every music slot is taken"), std::string::npos);
    ASSERT_EQ(midi_play(3), 1);
    EXPECT_EQ(midi_delete_all(), 1);
    for (int i = 0; i < MUSIC_SLOTS; ++i) EXPECT_TRUE(midi_slot(i).play_state == MIDI_FREE && !midi_slot(i).segment) << i;
    EXPECT_EQ(midi_play(3), 0);
    ASSERT_EQ(midi_init(), 1);
    EXPECT_EQ(midi_current_track(), -1) << "a new bank has no current track";

    for (int i = 0; i < 4; ++i) ASSERT_EQ(load(track), i);
    EXPECT_EQ(states(), "LLLLFF");
    struct Step {
        bool play;
        int id, result, current;
        const char* states;
    };
    const Step steps[] = {
        {true, 2, 1, 2, "LLPLFF"},  {true, 0, 1, 0, "PLSLFF"},  {true, 0, 1, 0, "PLSLFF"},  // again: from the top
        {true, 5, 0, 0, "PLSLFF"},  {false, 5, 0, 0, "PLSLFF"}, {false, 3, 1, -1, "PLSSFF"},
        {false, 0, 1, -1, "SLSSFF"}, {true, 0, 1, 0, "PLSSFF"},  // a stopped track plays again
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.play ? "play " : "stop ") + std::to_string(s.id));
        EXPECT_EQ(s.play ? midi_play(s.id) : midi_stop(s.id), s.result);
        EXPECT_EQ(midi_current_track(), s.current);
        EXPECT_EQ(states(), s.states);
    }
}

// --- the checks ----------------------------------------------------------------

std::string refusal(const Bytes& file)
{
    const char* why = nullptr;
    if (midi_validate(file.data(), file.size(), &why)) return "";
    return why ? why : "(no reason)";
}

// Whole files: "" where the file is accepted.
TEST(MidiValidate, WholeFiles)
{
    Bytes not_midi = chord_file(), long_header = chord_file(), short_header = chord_file();
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
        {{}, "truncated MIDI header"},
        {Bytes(short_header.begin(), short_header.begin() + 13), "truncated MIDI header"},
        {not_midi, "not a Standard MIDI File"},
        {long_header, "MIDI header runs past the end of the file"},
        {short_header, "MIDI header is shorter than 6 bytes"},
        {smf(3, 1, 480, {mtrk(chord_track(1, 2))}), "unknown MIDI file format"},
        {smf(0, 0, 480, {}), "the file holds no track"},
        {smf(0, 1, 0xE728, {mtrk(chord_track(1, 2))}), "SMPTE time division is not supported"},
        {smf(0, 1, 0, {mtrk(chord_track(1, 2))}), "zero ticks per quarter note"},
        {smf(1, 3, 480, {mtrk(chord_track(1, 2)), mtrk(chord_track(1, 2))}), "the file holds fewer tracks than its header declares"},
        {smf(0, 1, 480, {mtrk(chord_track(1, 2), 1000)}), "a track runs past the end of the file"},
        {smf(0, 1, 480, {Bytes{'J', 'U', 'N', 'K', 0x7F, 0xFF, 0xFF, 0xFF}, mtrk(chord_track(1, 2))}),
         "a track runs past the end of the file"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(refusal(cases[i].first), cases[i].second) << i;
}

TEST(MidiValidate, RefusesTracksThatWouldBeReadPastTheirEnd)
{
    const std::pair<Bytes, const char*> tracks[] = {
        {{}, "a track has no end-of-track event"}, {{0x00, 0x90, 60, 100}, "a track has no end-of-track event"},
        {{0x81}, "a track ends inside a delta time"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00}, "a track ends inside a delta time"},
        {{0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}, "a track has a data byte where a status byte belongs"},
        {{0x00, 0x90, 60}, "a track ends inside a channel event"}, {{0x00, 0xFF}, "a track ends inside a meta event"},
        {{0x00, 0x90, 60, 0x90, 0x00, 0xFF, 0x2F, 0x00}, "a channel event is cut short by a status byte"},
        {{0x00, 0xFF, 0x01, 0x20, 'a'}, "a meta event runs past the end of its track"},
        {{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00}, "a meta event has the wrong length"},
        {{0x00, 0xFF, 0x2F, 0x01, 0x00}, "a meta event has the wrong length"},
        {{0x00, 0xF0, 0x10, 0x7E}, "a system-exclusive event runs past the end of its track"},
        {{0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}, "a track holds a status byte that has no place in a file"},
        // running status does not survive a meta event
        {{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 100, 0x00, 0xFF, 0x2F, 0x00},
         "a track has a data byte where a status byte belongs"},
        {{0x00, 0xFF, 0x2F, 0x00, 0x00}, "a track goes on after its end-of-track event"},
    };
    for (const auto& [events, why] : tracks) EXPECT_EQ(refusal(smf(0, 1, 480, {mtrk(events)})), why) << why;
    // Every cut of a good file is refused, never read past (the sanitizers
    // would see it); random bytes are the fuzzer's.
    const Bytes good = smf(1, 2, 96, {mtrk(chord_track(10, 20)), mtrk(chord_track(30, 40))});
    for (size_t n = 0; n < good.size(); ++n) EXPECT_NE(refusal(Bytes(good.begin(), good.begin() + long(n))), "") << n;
}

}  // namespace
