// The effect and music banks on SDL's dummy audio device: what the mixer makes
// of them, the limiter, and machines without a soundfont (without a device:
// NoDevice.WithoutAudioTheGamePlaysSilentlyAfterOneWarning).
#include <gtest/gtest.h>

#include <cmath>

#include "../support/files.h"
#include "../support/sdl_events.h"
#include "../support/temp_dir.h"
#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"

namespace {

using Frames = std::vector<int16_t>;  // interleaved stereo

// Keeps the device's own thread from moving anything while a test listens.
struct AudioLock { AudioLock() { platform_audio_lock(); } ~AudioLock() { platform_audio_unlock(); } };

// Renders in the device's blocks, as the device asks for them.
Frames render(int frames)
{
    const AudioLock hold;
    Frames all;
    for (int left = frames; left > 0; left -= MIX_BUFFER_FRAMES) {
        Frames out(size_t(std::min(left, MIX_BUFFER_FRAMES)) * 2, 12345);
        mixer_render(out.data(), int(out.size() / 2));
        all.insert(all.end(), out.begin(), out.end());
    }
    return all;
}
// Whole blocks only: the synthesiser keeps what it made past a block's end.
Frames play_for(double seconds) { return render(int(seconds * MIX_SAMPLE_RATE) / MIX_BUFFER_FRAMES * MIX_BUFFER_FRAMES); }

double rms(const Frames& f, double from = 0, double to = 1e9)
{
    const auto a = std::min(size_t(from * MIX_SAMPLE_RATE) * 2, f.size());
    const auto b = std::min(size_t(to * MIX_SAMPLE_RATE) * 2, f.size());
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(f[i]) * f[i];
    return b > a ? std::sqrt(sum / double(b - a)) : 0;
}

int peak(const Frames& f) { int p = 0; for (int16_t s : f) p = std::max(p, std::abs(int(s))); return p; }

// Effect byte i at output frame k: signed half-scale samples, four frames
// each, joined by straight lines.
double expected_frame(const Bytes& bytes, size_t k)
{
    auto value = [&](size_t i) { return i < bytes.size() ? (int(bytes[i]) - 128) / 128.0 * 0.5 : 0.0; };
    const size_t i = k / 4;
    return (value(i) + (value(i + 1) - value(i)) * double(k % 4) / 4.0) * 32767.0;
}

Bytes ramp(size_t n) { Bytes b(n); for (size_t i = 0; i < n; ++i) b[i] = uint8_t(20 + i * 37 % 216); return b; }

class AudioDevice : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override
    {
        sfx_init();
        ASSERT_TRUE(sfx_device_open()) << "SDL_AUDIODRIVER=dummy gives a device";
    }
    void TearDown() override { midi_shutdown(), sfx_delete_all(), sfx_shutdown(); }
    int load(const std::string& name, const Bytes& bytes)
    {
        return sfx_load_wav(dir.write(name, pcm8_wave(bytes)).c_str());
    }
};

// An effect plays upsampled for exactly its length, restarts, stops; loud
// effects together bend instead of clipping.
TEST_F(AudioDevice, EffectsPlayUpsampledForTheirLengthRestartStopAndBendTogether)
{
    const Bytes bytes = ramp(300);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    EXPECT_EQ(sfx_status(1), -1);
    const AudioLock hold;
    EXPECT_EQ(peak(render(256)), 0) << "nothing plays before sfx_play";
    sfx_play(0);
    Frames out = render(1199);
    EXPECT_EQ(sfx_status(0), DSBSTATUS_PLAYING);
    for (int n : {1, 100}) {
        const Frames more = render(n);
        out.insert(out.end(), more.begin(), more.end());
        EXPECT_EQ(sfx_status(0), 0) << "after the last frame";
    }
    for (size_t k = 0; k < 1300; ++k) {
        ASSERT_NEAR(out[2 * k], k < 1200 ? expected_frame(bytes, k) : 0.0, 1.0) << "frame " << k;
        ASSERT_EQ(out[2 * k], out[2 * k + 1]) << "frame " << k;
    }
    // Played again, while playing or after a stop: from its first byte.
    sfx_play(0);
    const Frames first = render(700);
    sfx_play(0);
    EXPECT_EQ(render(700), first);
    sfx_stop(0);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_EQ(peak(render(512)), 0);
    sfx_play(0);
    EXPECT_EQ(render(700), first);
    sfx_stop(0);
    Bytes square(400);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 0x00 : 0xFF;
    for (int i = 1; i <= 7; ++i) ASSERT_EQ(load("square" + std::to_string(i) + ".wav", square), i);
    sfx_play(1);
    const Frames one = render(1600);
    EXPECT_NEAR(peak(one), 0.5 * 32767, 1) << "one effect passes the limiter untouched";
    for (int n = 2, previous = peak(one); n <= 7; ++n) {
        for (int i = 1; i <= n; ++i) sfx_play(i);
        const Frames sum = render(1600);
        for (size_t k = 0; k < sum.size(); ++k)  // nothing wraps round
            ASSERT_FALSE((sum[k] > 0 && one[k] < 0) || (sum[k] < 0 && one[k] > 0)) << n << " effects, " << k;
        EXPECT_TRUE(peak(sum) > previous && peak(sum) < 32767) << n << " effects: louder, never full scale";
        previous = peak(sum);
    }
}

TEST(MixerLimit, IsSmoothMonotonicAndBounded)
{
    float previous = mixer_limit(0.0f);
    for (float x = 0.001f; x < 20.0f; previous = mixer_limit(x), x += 0.001f) {
        const float y = mixer_limit(x);
        ASSERT_TRUE(y >= previous && y - previous < 0.0011f && y <= 1.0f) << "a step or a fall at " << x;
        ASSERT_EQ(mixer_limit(-x), -y) << x;
    }
    EXPECT_FLOAT_EQ(mixer_limit(1.0f), 0.75f);
    EXPECT_EQ(mixer_limit(INFINITY), 1.0f);
    EXPECT_EQ(mixer_limit(NAN), 0.0f);
}

// A track sounds under the effects and stops at once, with no note or
// reverb tail hanging on; played again it starts from the top, and it
// replaces the track that was playing.
TEST_F(AudioDevice, MusicSoundsUnderTheEffectsStopsAtOnceAndReplacesTheCurrentTrack)
{
    const std::string said = stderr_of([] { midi_init(); });
    if (!midi_synth_ready()) GTEST_SKIP() << "no soundfont: " << said;
    EXPECT_EQ(said, "") << "a soundfont loads without a word";
    const AudioLock hold;
    auto track = [&](const char* name, const Bytes& file) { return midi_load(dir.write(name, file).c_str()); };
    ASSERT_EQ(track("long.mid", chord_file(1920, 2400)), 0);  // a chord held for two seconds
    ASSERT_EQ(track("short.mid", chord_file(240, 1200)), 1);  // a quarter-second chord, a second of silence
    const Bytes bytes = ramp(1000);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    ASSERT_EQ(midi_play(0), 1);
    EXPECT_NE(midi_slot(0).segment_state, nullptr);
    const Frames playing = play_for(0.5);
    EXPECT_GT(rms(playing, 0.1, 0.5), 500.0) << "the chord is heard";
    EXPECT_LT(peak(playing), 32767);
    sfx_play(0);
    const Frames both = render(4096);
    Frames music(both.size());  // the effect taken away again
    for (size_t k = 0; k < music.size(); ++k) music[k] = int16_t(both[k] - std::lrint(expected_frame(bytes, k / 2)));
    EXPECT_GT(rms(music), 500.0);
    EXPECT_GT(rms(both), rms(music));
    ASSERT_EQ(midi_stop(0), 1);
    EXPECT_EQ(midi_slot(0).segment_state, nullptr);
    EXPECT_EQ(peak(play_for(1.0)), 0) << "no note hangs on, no reverb tail";
    midi_play(1);
    const Frames once = play_for(0.9);
    EXPECT_GT(rms(once, 0.05, 0.2), 500.0);
    EXPECT_LT(rms(once, 0.8, 0.9), 20.0) << "the chord has died away";
    midi_play(1);
    EXPECT_GT(rms(play_for(0.3), 0.05, 0.2), 500.0) << "the chord again: the track is back at its start";
    EXPECT_EQ(midi_current_track(), 1);
    midi_play(0);
    play_for(0.3);
    midi_play(1);  // the long chord must not go on under the short one
    const Frames out = play_for(1.0);
    EXPECT_TRUE(midi_slot(0).segment_state == nullptr && midi_slot(0).play_state == MIDI_STOPPED);
    EXPECT_LT(rms(out, 0.8, 1.0), 20.0);
}

// No usable soundfont: one line naming what was wrong, and the bank goes on
// without music (its ids unchanged, as on the headless edge: Banks).
TEST_F(AudioDevice, WithoutASoundfontTheGameGoesOnWithoutMusic)
{
    const std::string junk = dir.write("junk.sf2", Bytes(4000, 0x5A)), none = dir.file("absent.sf2");
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{none.c_str()}, "kestrava: music: no General MIDI soundfont found"},
        {{none.c_str(), junk.c_str()}, "kestrava: " + junk + ": "},
    };
    for (const auto& [fonts, line_starts] : cases) {
        const std::string said = stderr_of([&] { midi_init_from(fonts.data(), int(fonts.size())); });
        EXPECT_EQ(midi_synth_ready(), 0);
        EXPECT_TRUE(one_line_starting(said, line_starts) && said.find("playing without music") != said.npos) << said;
        EXPECT_EQ(peak(render(2048)), 0);
        midi_shutdown();
    }
}

}  // namespace
