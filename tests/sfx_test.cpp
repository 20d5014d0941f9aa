// The effect bank's slot rules on the headless edge (no audio device by
// design), and the WAV reader's checks of every size in a file.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "audio/sfx.h"
#include "base/report.h"
#include "formats/wav.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

class SfxBank : public ::testing::Test {
protected:
    TempDir dir;
    const Bytes samples = {0x80, 0xFF, 0x00, 0x40, 0xC0};
    const std::string effect = dir.write("effect.wav", pcm8_wave(samples));

    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(sfx_init(), 1);
    }
    void TearDown() override
    {
        sfx_stop_all();
        sfx_delete_all();
        sfx_shutdown();
    }
    int load(const std::string& path) { return sfx_load_wav(path.c_str(), 224); }
};

// A slot as one record: in use, id, rate, length, and its bytes (none while
// it holds no buffer).
std::tuple<int, int, int, int, Bytes> slot(int id)
{
    const SoundSlot& s = sfx_slot(id);
    return {s.in_use, s.id, s.sample_rate, s.data_bytes, s.buffer ? Bytes(s.buffer, s.buffer + s.data_bytes) : Bytes{}};
}

// Ids in load order, each slot its own copy; a deleted slot keeps its place
// and length and is not handed out again; without a device (by design
// here) every loaded effect reports silent, so the game's engine sound is
// started freely.
TEST_F(SfxBank, SlotsFromLoadToShutdown)
{
    ASSERT_EQ(sfx_device_open(), 0);
    EXPECT_EQ(sfx_status(0), -1);
    EXPECT_EQ(sfx_play(0, 0), 1) << "playing an empty slot does nothing and succeeds";
    for (int i = 0; i < SOUND_SLOTS; ++i) ASSERT_EQ(load(effect), i);
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 11025, 5, samples));
    EXPECT_NE(sfx_slot(0).buffer, sfx_slot(1).buffer);
    EXPECT_EQ(load(effect), -1);
    EXPECT_NE(std::string(report_text()).find("every sound slot is taken"), std::string::npos) << report_text();
    EXPECT_EQ(sfx_play(1, 0), 1);
    EXPECT_EQ(sfx_status(1), 0);
    EXPECT_EQ(sfx_stop(1), 1);

    ASSERT_EQ(sfx_init(), 1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(load(effect), i);
    EXPECT_EQ(sfx_delete(0), 1);
    EXPECT_EQ(slot(0), std::make_tuple(1, 0, 11025, 5, Bytes{}));
    EXPECT_EQ(std::make_tuple(sfx_status(0), sfx_stop(0)), std::make_tuple(-1, 1));
    EXPECT_EQ(load(effect), 3);
    ASSERT_EQ(sfx_init(), 1);
    for (int i : {0, 2, 255}) EXPECT_EQ(slot(i), std::make_tuple(0, i, 0, 0, Bytes{})) << i;
    ASSERT_EQ(load(effect), 0);
    ASSERT_EQ(load(effect), 1);
    EXPECT_EQ(sfx_shutdown(), 1);
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 11025, 5, Bytes{})) << "nothing dangles for a late play";
    EXPECT_EQ(std::make_tuple(sfx_status(1), sfx_play(1, 0)), std::make_tuple(-1, 1));
}

TEST_F(SfxBank, RefusalsLeaveTheSlotFreeAndWideSoundIsTakenAsItsBytes)
{
    const std::string adpcm =
        dir.write("adpcm.wav", riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), chunk("data", samples)}));
    EXPECT_EQ(load(adpcm), -1);
    EXPECT_EQ(std::string(report_text()), adpcm + ": not PCM data");
    report_clear();
    EXPECT_EQ(load(dir.file("missing.wav")), -1);
    EXPECT_EQ(std::string(report_text()), dir.file("missing.wav") + ": No such file or directory");
    EXPECT_EQ(load(dir.path()), -1) << "a directory is not a sound";
    const Bytes pcm16 = {0x00, 0x10, 0xFF, 0xEF, 0x34, 0x12, 0xCC, 0xED};
    const Bytes stereo = riff_wave({chunk("fmt ", fmt_body(1, 2, 22050, 16)), chunk("data", pcm16)});
    ASSERT_EQ(load(dir.write("stereo.wav", stereo)), 0);
    EXPECT_EQ(slot(0), std::make_tuple(1, 0, 22050, 8, pcm16));
}

// --- the reader ----------------------------------------------------------------

// The reader's refusal ("" when it takes the file) and the samples it takes,
// which must lie within the file.
std::pair<std::string, Bytes> read(const Bytes& file, WAVEFORMATEX* format = nullptr)
{
    WavData w{};
    const char* why = "(no reason)";
    if (!wav_parse(file.data(), file.size(), w, &why)) return {why, {}};
    EXPECT_TRUE(w.data >= file.data() && w.data + w.data_bytes <= file.data() + file.size()) << "outside the file";
    if (format) *format = w.format;
    return {"", Bytes(w.data, w.data + w.data_bytes)};
}

// A file cut off in its samples, or whose RIFF size alone is wrong, plays
// what it has; a RIFF size short of the data cuts the data too. The game's
// own writer pads an odd data chunk.
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
                    chunk("fact", {9, 9, 9, 9, 9}), data}), "", some},
        {wav_encode_pcm8(odd.data(), 3, 11025), "", odd},
        {cut, "", {10, 20, 30, 40, 50}},
        {riff_wave({fmt8, chunk("data", some, 0xFFFFFFFF)}, 0xFFFFFFFF), "", some},
        {riff_wave({fmt8, data}, uint32_t(good.size() - 8 - 2)), "", {1, 2, 3, 4}},
        {{}, "truncated RIFF header"},
        {Bytes(good.begin(), good.begin() + 11), "truncated RIFF header"},
        {not_riff, "not a RIFF WAVE file"},
        {not_wave, "not a RIFF WAVE file"},
        {riff_wave({fmt8, data}, 3), "RIFF size is smaller than its own header"},
        {riff_wave({}), "no format chunk"},
        {riff_wave({data}), "no format chunk"},
        {riff_wave({chunk("fmt ", fmt16, 4000)}), "format chunk runs past the end of the file"},
        {riff_wave({chunk("LIST", {1, 2}, 0x7FFFFFF0), fmt8, data}), "a chunk size runs past the end of the file"},
        {riff_wave({fmt8, chunk("LIST", {1, 2}, 0xFFFFFFF0), data}), "a chunk size runs past the end of the file"},
        {riff_wave({chunk("fmt ", Bytes(fmt16.begin(), fmt16.begin() + 14)), data}),
         "format chunk is shorter than 16 bytes"},
        {riff_wave({chunk("fmt ", fmt_body(3, 1, 11025, 32)), data}), "not PCM data"},
        {riff_wave({chunk("fmt ", fmt_body(0xFFFE, 1, 11025, 8)), data}), "not PCM data"},
        {riff_wave({fmt8}), "no data chunk after the format chunk"},
        {riff_wave({data, fmt8}), "no data chunk after the format chunk"},
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

    // Every way of cutting a good file short is read within its bounds, or
    // refused; under the sanitizers a read past the end would show.
    const Bytes& full = cases[0].file;
    for (size_t n = 0; n <= full.size(); ++n) {
        const auto [why, samples] = read(Bytes(full.begin(), full.begin() + long(n)));
        EXPECT_TRUE(why != "" || !samples.empty()) << n;
    }
}

}  // namespace
