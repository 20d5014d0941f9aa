// The effect bank's slot rules on the headless edge (no audio device by
// design), and the WAV reader's checks of every size in a file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "audio/sfx.h"
#include "formats/wav.h"
#include "base/report.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

class SfxBank : public ::testing::Test {
protected:
    TempDir dir;
    std::string effect;  // a valid 8-bit mono effect
    const Bytes samples = {0x80, 0xFF, 0x00, 0x40, 0xC0};

    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(sfx_init(), 1);
        effect = dir.write("effect.wav", pcm8_wave(samples));
    }
    void TearDown() override
    {
        sfx_stop_all();
        sfx_delete_all();
        sfx_shutdown();
    }
    int load(const std::string& path) { return sfx_load_wav(path.c_str(), 224); }
};

TEST_F(SfxBank, FreshBankHandsOutIdsInLoadOrderAndCopiesTheBytes)
{
    for (int expected = 0; expected < 3; ++expected) EXPECT_EQ(load(effect), expected);
    const SoundSlot& slot = sfx_slot(1);
    EXPECT_EQ(slot.in_use, 1);
    EXPECT_EQ(slot.id, 1);
    EXPECT_EQ(slot.sample_rate, 11025);
    EXPECT_EQ(slot.data_bytes, 5);
    ASSERT_NE(slot.buffer, nullptr);
    EXPECT_EQ(Bytes(slot.buffer, slot.buffer + 5), samples);
    EXPECT_NE(sfx_slot(0).buffer, sfx_slot(1).buffer) << "every slot holds its own copy";
    EXPECT_EQ(sfx_slot(3).in_use, 0);
    EXPECT_EQ(sfx_slot(3).buffer, nullptr);
    EXPECT_EQ(sfx_slot(255).id, 255);
    for (int i = 3; i < SOUND_SLOTS; ++i) ASSERT_EQ(load(effect), i);
    EXPECT_EQ(load(effect), -1);
    EXPECT_NE(std::string(report_text()).find("every sound slot is taken"), std::string::npos) << report_text();
}

TEST_F(SfxBank, RefusedFilesLeaveTheSlotFree)
{
    const std::string adpcm = dir.write("adpcm.wav", riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)),
                                                                 chunk("data", samples)}));
    EXPECT_EQ(load(adpcm), -1);
    EXPECT_EQ(std::string(report_text()), adpcm + ": not PCM data");
    report_clear();
    EXPECT_EQ(load(dir.file("missing.wav")), -1);
    EXPECT_EQ(std::string(report_text()), dir.file("missing.wav") + ": No such file or directory");
    EXPECT_EQ(load(dir.path()), -1) << "a directory is not a sound";
    EXPECT_EQ(sfx_slot(0).in_use, 0);
    EXPECT_EQ(load(effect), 0);
}

// Taken as its bytes, a 16-bit stereo file would play as noise at the wrong
// speed: it is converted to 8-bit mono 11,025 Hz, half as many frames here.
TEST_F(SfxBank, SixteenBitStereoIsConvertedToTheBanksFormat)
{
    Bytes pcm16;
    for (int frame = 0; frame < 2000; ++frame)  // left +1/4, right +3/4 of full scale
        for (const uint16_t v : {0x2000, 0x6000}) pcm16.insert(pcm16.end(), {uint8_t(v), uint8_t(v >> 8)});
    const std::string path =
        dir.write("stereo.wav", riff_wave({chunk("fmt ", fmt_body(1, 2, 22050, 16)), chunk("data", pcm16)}));
    ASSERT_EQ(load(path), 0) << report_text();
    const SoundSlot& slot = sfx_slot(0);
    EXPECT_EQ(slot.sample_rate, 22050);
    EXPECT_NEAR(slot.data_bytes, 1000, 10);
    ASSERT_NE(slot.buffer, nullptr);
    EXPECT_NEAR(slot.buffer[500], 128 + 64, 2) << "the channels' mean, half scale above silence";
}

TEST_F(SfxBank, DeleteKeepsTheSlotTakenInitFreesIt)
{
    ASSERT_EQ(load(effect), 0);
    ASSERT_EQ(load(effect), 1);
    EXPECT_EQ(sfx_delete(0), 1);
    EXPECT_EQ(sfx_slot(0).buffer, nullptr);
    EXPECT_EQ(sfx_slot(0).in_use, 1);
    EXPECT_EQ(sfx_slot(0).data_bytes, 5);
    EXPECT_EQ(sfx_slot(0).sample_rate, 11025);
    EXPECT_EQ(load(effect), 2) << "a deleted slot is not reused";

    EXPECT_EQ(sfx_init(), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sfx_slot(i).in_use, 0);
        EXPECT_EQ(sfx_slot(i).buffer, nullptr);
        EXPECT_EQ(sfx_slot(i).data_bytes, 0);
    }
    EXPECT_EQ(load(effect), 0);
    ASSERT_EQ(load(effect), 1);
    EXPECT_EQ(sfx_shutdown(), 1);
    EXPECT_EQ(sfx_slot(0).buffer, nullptr);
    EXPECT_EQ(sfx_slot(1).buffer, nullptr);
    EXPECT_EQ(sfx_status(1), -1);
    EXPECT_EQ(sfx_play(1, 0), 1) << "nothing dangles for a late play";
}

// Without a device the slot logic stays: the same results, and every loaded
// effect reports silent, so the game's engine sound would be started freely.
TEST_F(SfxBank, SilentBankKeepsItsResults)
{
    ASSERT_EQ(sfx_device_open(), 0);
    EXPECT_EQ(sfx_status(0), -1);
    EXPECT_EQ(sfx_play(0, 0), 1) << "playing an empty slot does nothing and succeeds";
    ASSERT_EQ(load(effect), 0);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_EQ(sfx_play(0, 0), 1);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_EQ(sfx_stop(0), 1);
    EXPECT_EQ(sfx_delete(0), 1);
    EXPECT_EQ(sfx_status(0), -1);
    EXPECT_EQ(sfx_stop(0), 1);
}

// --- the reader ----------------------------------------------------------------

struct Parsed {
    int ok;
    WavData wav;
    std::string why;
};
Parsed parse(const Bytes& file)
{
    Parsed p{0, WavData{}, ""};
    const char* why = nullptr;
    p.ok = wav_parse(file.data(), file.size(), p.wav, &why);
    if (!p.ok) p.why = why ? why : "(no reason)";
    return p;
}

const Bytes some = {1, 2, 3, 4, 5, 6};

TEST(WavParse, ReadsTheFormatStepsOverOtherChunksAndPointsIntoTheFile)
{
    const Bytes file = riff_wave({chunk("LIST", {'a', 'b', 'c'}), chunk("fmt ", fmt_body(1, 2, 22050, 16, true)),
                                  chunk("fact", {9, 9, 9, 9, 9}), chunk("data", some)});
    const Parsed p = parse(file);
    ASSERT_EQ(p.ok, 1) << p.why;
    EXPECT_EQ(p.wav.format.wFormatTag, 1);
    EXPECT_EQ(p.wav.format.nChannels, 2);
    EXPECT_EQ(p.wav.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(p.wav.format.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(p.wav.format.nBlockAlign, 4);
    EXPECT_EQ(p.wav.format.wBitsPerSample, 16);
    EXPECT_EQ(p.wav.data_bytes, 4u) << "whole frames only";
    EXPECT_EQ(p.wav.data, file.data() + file.size() - 6);

    // The game's own writer pads an odd data chunk; the pad byte is not sound.
    const uint8_t odd[] = {0x10, 0x80, 0xF0};
    const Bytes written = wav_encode_pcm8(odd, 3, 11025);
    const Parsed q = parse(written);
    ASSERT_EQ(q.ok, 1) << q.why;
    EXPECT_EQ(q.wav.data_bytes, 3u);
    EXPECT_EQ(std::memcmp(q.wav.data, odd, 3), 0);
}

// A file cut off in its samples plays what it has; so does one whose RIFF
// size is the only thing wrong.
TEST(WavParse, ShortDataChunkIsCutToWhatIsThere)
{
    Bytes truncated = pcm8_wave({10, 20, 30, 40, 50, 60, 70, 80});
    truncated.resize(truncated.size() - 3);
    Parsed p = parse(truncated);
    ASSERT_EQ(p.ok, 1) << p.why;
    EXPECT_EQ(p.wav.data_bytes, 5u);
    EXPECT_EQ(p.wav.data + 5, truncated.data() + truncated.size());

    p = parse(riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8)), chunk("data", some, 0xFFFFFFFF)}, 0xFFFFFFFF));
    ASSERT_EQ(p.ok, 1) << p.why;
    EXPECT_EQ(p.wav.data_bytes, 6u);

    // A RIFF size that stops short of the data cuts the data too.
    const Bytes whole = riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8)), chunk("data", some)});
    p = parse(riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8)), chunk("data", some)}, uint32_t(whole.size() - 8 - 2)));
    ASSERT_EQ(p.ok, 1) << p.why;
    EXPECT_EQ(p.wav.data_bytes, 4u);
}

TEST(WavParse, RefusesWhatCannotBeReadSafely)
{
    const Bytes fmt = chunk("fmt ", fmt_body(1, 1, 11025, 8));
    const Bytes data = chunk("data", some);
    const Bytes good = riff_wave({fmt, data});
    struct Case {
        const char* name;
        Bytes file;
        const char* why;
    };
    const Bytes fmt16 = fmt_body(1, 1, 11025, 8);
    const Bytes fmt14(fmt16.begin(), fmt16.begin() + 14);
    Bytes not_riff = good;
    not_riff[0] = 'X';
    Bytes not_wave = good;
    not_wave[8] = 'A';
    const Case cases[] = {
        {"empty file", {}, "truncated RIFF header"},
        {"RIFF header cut short", Bytes(good.begin(), good.begin() + 11), "truncated RIFF header"},
        {"no RIFF tag", not_riff, "not a RIFF WAVE file"},
        {"no WAVE form", not_wave, "not a RIFF WAVE file"},
        {"RIFF size below its header", riff_wave({fmt, data}, 3), "RIFF size is smaller than its own header"},
        {"no chunks at all", riff_wave({}), "no format chunk"},
        {"no format chunk", riff_wave({data}), "no format chunk"},
        {"format chunk past the end", riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8), 4000)}),
         "format chunk runs past the end of the file"},
        {"chunk before the format past the end", riff_wave({chunk("LIST", {1, 2}, 0x7FFFFFF0), fmt, data}),
         "a chunk size runs past the end of the file"},
        {"chunk before the data past the end", riff_wave({fmt, chunk("LIST", {1, 2}, 0xFFFFFFF0), data}),
         "a chunk size runs past the end of the file"},
        {"format chunk of 14 bytes", riff_wave({chunk("fmt ", fmt14), data}), "format chunk is shorter than 16 bytes"},
        {"non-PCM tag", riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), data}), "not PCM data"},
        {"extensible tag without its subformat", riff_wave({chunk("fmt ", fmt_body(0xFFFE, 1, 11025, 8)), data}),
         "extensible format chunk is too short for its subformat"},
        {"no data chunk", riff_wave({fmt}), "no data chunk after the format chunk"},
        {"data before the format", riff_wave({data, fmt}), "no data chunk after the format chunk"},
        {"empty data chunk", riff_wave({fmt, chunk("data", {})}), "data chunk is empty"},
        {"data chunk header at the very end", riff_wave({fmt, Bytes{'d', 'a', 't', 'a', 10, 0, 0, 0}}),
         "data chunk is empty"},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.file);
        EXPECT_EQ(p.ok, 0) << c.name;
        EXPECT_EQ(p.why, c.why) << c.name;
    }
}

// Every way of cutting a good file short is either read within its bounds
// or refused; under the sanitizers a read past the end would show.
TEST(WavParse, EveryTruncationStaysInBounds)
{
    const Bytes good = riff_wave({chunk("LIST", {1, 2, 3}), chunk("fmt ", fmt_body(1, 1, 11025, 8, true)),
                                  chunk("data", some)});
    for (size_t n = 0; n <= good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        const Parsed p = parse(cut);
        if (p.ok) {
            EXPECT_GE(p.wav.data, cut.data()) << n;
            EXPECT_LE(p.wav.data + p.wav.data_bytes, cut.data() + cut.size()) << n;
            EXPECT_GT(p.wav.data_bytes, 0u) << n;
        }
    }
    EXPECT_EQ(parse(Bytes(good.begin(), good.end() - 1)).wav.data_bytes, 5u);
}

}  // namespace
