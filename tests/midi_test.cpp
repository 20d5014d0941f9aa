// The music bank's slot and current-track rules on the headless edge (no
// synthesiser: the rules are the same with and without one), and the checks
// that refuse a MIDI file before the synthesiser could read it.
#include <gtest/gtest.h>

#include <string>

#include "audio/midi.h"
#include "formats/midi_file.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

class MidiBank : public ::testing::Test {
protected:
    TempDir dir;
    std::string track;

    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(sfx_init(), 1);
        ASSERT_EQ(midi_init(), 1);
        track = dir.write("track.mid", chord_file());
    }
    void TearDown() override
    {
        midi_delete_all();
        midi_shutdown();
        sfx_shutdown();
    }
    int load(const std::string& path) { return midi_load(path.c_str()); }
    void load_four()
    {
        for (int i = 0; i < 4; ++i) ASSERT_EQ(load(track), i);
    }
};

TEST_F(MidiBank, IdsInLoadOrderUpToSixtyFourAndDeleteAllFreesThem)
{
    EXPECT_EQ(midi_current_track(), -1);
    for (int i = 0; i < MUSIC_SLOTS; ++i) {
        ASSERT_EQ(load(track), i);
        EXPECT_EQ(midi_slot(i).play_state, MIDI_LOADED);
        EXPECT_EQ(midi_slot(i).id, i);
        EXPECT_NE(midi_slot(i).segment, nullptr);
    }
    EXPECT_EQ(load(track), -1);
    EXPECT_NE(std::string(report_text()).find("every music slot is taken"), std::string::npos);
    ASSERT_EQ(midi_play(3), 1);
    EXPECT_EQ(midi_delete_all(), 1);
    for (int i = 0; i < MUSIC_SLOTS; ++i) {
        EXPECT_EQ(midi_slot(i).play_state, MIDI_FREE);
        EXPECT_EQ(midi_slot(i).segment, nullptr);
        EXPECT_EQ(midi_slot(i).segment_state, nullptr);
    }
    EXPECT_EQ(midi_play(3), 0);
    EXPECT_EQ(load(track), 0);
}

// One track plays at a time; stopping any loaded track clears the current
// one; an empty slot returns 0 and changes nothing.
TEST_F(MidiBank, TheCurrentTrack)
{
    load_four();
    EXPECT_EQ(midi_play(2), 1);
    EXPECT_EQ(midi_current_track(), 2);
    EXPECT_EQ(midi_play(0), 1);
    EXPECT_EQ(midi_current_track(), 0);
    EXPECT_EQ(midi_slot(2).play_state, MIDI_STOPPED);
    EXPECT_EQ(midi_slot(0).play_state, MIDI_PLAYING);
    EXPECT_EQ(midi_play(0), 1) << "again: from the top, still current";
    EXPECT_EQ(midi_current_track(), 0);
    EXPECT_EQ(midi_slot(0).play_state, MIDI_PLAYING);
    EXPECT_EQ(midi_play(5), 0);
    EXPECT_EQ(midi_stop(5), 0);
    EXPECT_EQ(midi_current_track(), 0);
    EXPECT_EQ(midi_slot(5).play_state, MIDI_FREE);

    EXPECT_EQ(midi_stop(3), 1) << "a loaded track that is not playing";
    EXPECT_EQ(midi_current_track(), -1);
    EXPECT_EQ(midi_slot(3).play_state, MIDI_STOPPED);
    EXPECT_EQ(midi_slot(0).play_state, MIDI_PLAYING) << "not updated by another track's stop";
    EXPECT_EQ(midi_stop(0), 1);
    EXPECT_EQ(midi_slot(0).play_state, MIDI_STOPPED);
    EXPECT_EQ(midi_play(0), 1) << "a stopped track plays again";
    EXPECT_EQ(midi_slot(0).play_state, MIDI_PLAYING);
}

TEST_F(MidiBank, RefusedFileLeavesItsSlotFree)
{
    Bytes cut = chord_file();
    cut.resize(cut.size() - 5);
    const std::string path = dir.write("cut.mid", cut);
    EXPECT_EQ(load(path), -1);
    EXPECT_EQ(std::string(report_text()), path + ": a track runs past the end of the file");
    EXPECT_EQ(midi_slot(0).play_state, MIDI_FREE);
    report_clear();
    EXPECT_EQ(load(dir.file("nowhere.mid")), -1);
    EXPECT_EQ(std::string(report_text()), dir.file("nowhere.mid") + ": No such file or directory");
    EXPECT_EQ(load(track), 0);
}

// The headless edge has no sound device by design: both banks start and
// say nothing about it.
TEST(HeadlessBanks, NoDeviceByDesignSaysNothing)
{
    testing::internal::CaptureStderr();
    ASSERT_EQ(sfx_init(), 1);
    EXPECT_EQ(midi_init(), 1);
    EXPECT_EQ(midi_synth_ready(), 0);
    midi_shutdown();
    EXPECT_EQ(sfx_shutdown(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// --- the checks ----------------------------------------------------------------

std::string refusal(const Bytes& file)
{
    const char* why = nullptr;
    if (midi_validate(file.data(), file.size(), &why)) return "";
    return why ? why : "(no reason)";
}

TEST(MidiValidate, AcceptsWellFormedFiles)
{
    EXPECT_EQ(refusal(chord_file()), "");
    // format 1, a text event, a sysex, running status across notes, and a
    // chunk of another kind stepped over between the tracks
    const Bytes conductor = {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,
                             0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAB, 0xCD};
    EXPECT_EQ(refusal(smf(1, 2, 96, {mtrk(conductor), alien, mtrk(chord_track(96, 192))})), "");
    // tracks beyond the declared count are not the player's business
    EXPECT_EQ(refusal(smf(0, 1, 96, {mtrk(chord_track(10, 20)), Bytes{'M', 'T', 'r', 'k', 0xFF, 0, 0, 0}})), "");
}

TEST(MidiValidate, RefusesHeadersThatDoNotDescribeTheFile)
{
    Bytes not_midi = chord_file();
    not_midi[1] = 'X';
    Bytes long_header = chord_file();
    long_header[7] = 200;
    Bytes short_header = chord_file();
    short_header[7] = 4;
    const Bytes cut_header(short_header.begin(), short_header.begin() + 13);
    const std::pair<Bytes, const char*> cases[] = {
        {{}, "truncated MIDI header"},
        {cut_header, "truncated MIDI header"},
        {not_midi, "not a Standard MIDI File"},
        {long_header, "MIDI header runs past the end of the file"},
        {short_header, "MIDI header is shorter than 6 bytes"},
        {smf(3, 1, 480, {mtrk(chord_track(1, 2))}), "unknown MIDI file format"},
        {smf(0, 0, 480, {}), "the file holds no track"},
        {smf(0, 1, 0xE728, {mtrk(chord_track(1, 2))}), "SMPTE time division is not supported"},
        {smf(0, 1, 0, {mtrk(chord_track(1, 2))}), "zero ticks per quarter note"},
        {smf(1, 3, 480, {mtrk(chord_track(1, 2)), mtrk(chord_track(1, 2))}),
         "the file holds fewer tracks than its header declares"},
        {smf(0, 1, 480, {mtrk(chord_track(1, 2), 1000)}), "a track runs past the end of the file"},
        {smf(0, 1, 480, {Bytes{'J', 'U', 'N', 'K', 0x7F, 0xFF, 0xFF, 0xFF}, mtrk(chord_track(1, 2))}),
         "a track runs past the end of the file"},
    };
    for (const auto& [file, why] : cases) EXPECT_EQ(refusal(file), why) << why;
}

TEST(MidiValidate, RefusesTracksThatWouldBeReadPastTheirEnd)
{
    const std::pair<Bytes, const char*> tracks[] = {
        {{}, "a track has no end-of-track event"},
        {{0x00, 0x90, 60, 100}, "a track has no end-of-track event"},
        {{0x81}, "a track ends inside a delta time"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00}, "a track ends inside a delta time"},
        {{0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}, "a track has a data byte where a status byte belongs"},
        {{0x00, 0x90, 60}, "a track ends inside a channel event"},
        {{0x00, 0x90, 60, 0x90, 0x00, 0xFF, 0x2F, 0x00}, "a channel event is cut short by a status byte"},
        {{0x00, 0xFF}, "a track ends inside a meta event"},
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
}

// Every cut of a good file is refused, never read past (the sanitizers would
// see it); random bytes are the fuzzer's.
TEST(MidiValidate, EveryTruncationIsRefused)
{
    const Bytes good = smf(1, 2, 96, {mtrk(chord_track(10, 20)), mtrk(chord_track(30, 40))});
    for (size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_NE(refusal(cut), "") << n;
    }
}

}  // namespace
