// The effect bank and the music bank on a real SDL audio device (the dummy
// driver): what comes out of the mixer, how effects start, restart, stop and
// end, that a loud sum never clips, that the music sounds and falls silent,
// and a machine without a device or a soundfont. The mixer is called
// directly under the audio lock, so the device's own thread cannot move
// anything meanwhile; one test lets the device run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "../support/env.h"
#include "../support/files.h"
#include "../support/sdl_events.h"
#include "../support/temp_dir.h"
#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"

namespace {

using Frames = std::vector<int16_t>;  // interleaved stereo

Frames render(int frames)
{
    Frames out(size_t(frames) * 2, 12345);
    mixer_render(out.data(), frames);
    return out;
}

bool silent(const Frames& f)
{
    return std::all_of(f.begin(), f.end(), [](int16_t s) { return s == 0; });
}

double rms(const Frames& f, double from = 0, double to = 1e9)
{
    const auto a = std::min(size_t(from * MIX_SAMPLE_RATE) * 2, f.size());
    const auto b = std::min(size_t(to * MIX_SAMPLE_RATE) * 2, f.size());
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(f[i]) * f[i];
    return b > a ? std::sqrt(sum / double(b - a)) : 0;
}

int peak(const Frames& f)
{
    int p = 0;
    for (int16_t s : f) p = std::max(p, std::abs(int(s)));
    return p;
}

// What the mixer must make of effect byte i at output frame k: the bytes as
// signed half-scale samples, four frames each, joined by straight lines.
double expected_frame(const Bytes& bytes, size_t k)
{
    auto value = [&](size_t i) { return i < bytes.size() ? (int(bytes[i]) - 128) / 128.0 * 0.5 : 0.0; };
    const size_t i = k / 4;
    return (value(i) + (value(i + 1) - value(i)) * double(k % 4) / 4.0) * 32767.0;
}

Bytes ramp(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(20 + (i * 37) % 216);
    return b;
}

class AudioDevice : public ::testing::Test {
protected:
    TempDir dir;

    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(sfx_init(), 1);
        ASSERT_EQ(sfx_device_open(), 1) << "SDL_AUDIODRIVER=dummy gives a device";
    }
    void TearDown() override
    {
        midi_shutdown();
        sfx_stop_all();
        sfx_delete_all();
        sfx_shutdown();
    }
    int load(const std::string& name, const Bytes& samples)
    {
        return sfx_load_wav(dir.write(name, pcm8_wave(samples)).c_str(), 224);
    }
};

TEST_F(AudioDevice, AnEffectComesOutUpsampledOnBothChannelsForExactlyItsLength)
{
    const Bytes bytes = ramp(300);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_EQ(sfx_status(1), -1);
    platform_audio_lock();
    EXPECT_TRUE(silent(render(256))) << "nothing plays before sfx_play";
    EXPECT_EQ(sfx_play(0, 0), 1);
    EXPECT_EQ(sfx_status(0), DSBSTATUS_PLAYING);
    Frames out = render(1199);
    EXPECT_EQ(sfx_status(0), DSBSTATUS_PLAYING);
    const Frames last = render(1);
    EXPECT_EQ(sfx_status(0), 0);
    const Frames after = render(100);
    platform_audio_unlock();
    out.insert(out.end(), last.begin(), last.end());
    out.insert(out.end(), after.begin(), after.end());
    for (size_t k = 0; k < 1300; ++k) {
        ASSERT_NEAR(out[2 * k], k < 1200 ? expected_frame(bytes, k) : 0.0, 1.0) << "frame " << k;
        ASSERT_EQ(out[2 * k], out[2 * k + 1]) << "frame " << k;
    }
}

TEST_F(AudioDevice, PlayRestartsFromTheFirstByteAndStopSilences)
{
    ASSERT_EQ(load("ramp.wav", ramp(1000)), 0);
    platform_audio_lock();
    sfx_play(0, 0);
    const Frames first = render(700);
    render(1000);
    sfx_play(0, 0);  // still playing: back to its start
    EXPECT_EQ(render(700), first);
    EXPECT_EQ(sfx_stop(0), 1);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_TRUE(silent(render(512)));
    sfx_play(0, 0);  // a stopped effect starts from its start too
    EXPECT_EQ(render(700), first);
    platform_audio_unlock();
}

// The device's own thread plays it out: a tenth of a second of effect ends
// long before the generous limit.
TEST_F(AudioDevice, TheDeviceThreadPlaysAnEffectToItsEnd)
{
    ASSERT_EQ(load("tenth.wav", ramp(1102)), 0);
    sfx_play(0, 0);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sfx_status(0) == DSBSTATUS_PLAYING && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(sfx_status(0), 0);
}

TEST_F(AudioDevice, LoudEffectsTogetherBendInsteadOfClipping)
{
    Bytes square(400);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 0x00 : 0xFF;
    for (int i = 0; i < 7; ++i) ASSERT_EQ(load("square" + std::to_string(i) + ".wav", square), i);
    platform_audio_lock();
    sfx_play(0, 0);
    const Frames one = render(1600);
    std::vector<Frames> sums;
    for (int n = 2; n <= 7; ++n) {
        for (int i = 0; i < n; ++i) sfx_play(i, 0);
        sums.push_back(render(1600));
    }
    platform_audio_unlock();
    EXPECT_NEAR(peak(one), 0.5 * 32767, 1) << "one effect passes the limiter untouched";
    int previous = peak(one);
    for (const Frames& sum : sums) {
        for (size_t k = 0; k < sum.size(); ++k) {
            // the sum keeps the sign of the single effect: nothing wraps round
            ASSERT_FALSE((sum[k] > 0 && one[k] < 0) || (sum[k] < 0 && one[k] > 0)) << k;
        }
        EXPECT_GT(peak(sum), previous) << "more effects are louder";
        EXPECT_LT(peak(sum), 32767) << "and never reach full scale";
        previous = peak(sum);
    }
}

TEST(MixerLimit, IsSmoothMonotonicAndBounded)
{
    EXPECT_EQ(mixer_limit(0.25f), 0.25f);
    EXPECT_EQ(mixer_limit(-LIMITER_KNEE), -LIMITER_KNEE);
    float previous = mixer_limit(0.0f);
    for (float x = 0.001f; x < 20.0f; x += 0.001f) {
        const float y = mixer_limit(x);
        ASSERT_GE(y, previous) << x;
        ASSERT_LT(y - previous, 0.0011f) << "no step at " << x;
        ASSERT_LE(y, 1.0f) << x;
        ASSERT_EQ(mixer_limit(-x), -y) << x;
        previous = y;
    }
    EXPECT_FLOAT_EQ(mixer_limit(1.0f), 0.75f);
    EXPECT_EQ(mixer_limit(INFINITY), 1.0f);
    EXPECT_EQ(mixer_limit(NAN), 0.0f);
}

// --- music ---------------------------------------------------------------------

class MusicDevice : public AudioDevice {
protected:
    void SetUp() override
    {
        AudioDevice::SetUp();
        testing::internal::CaptureStderr();
        ASSERT_EQ(midi_init(), 1);
        const std::string said = testing::internal::GetCapturedStderr();
        if (!midi_synth_ready()) GTEST_SKIP() << "no soundfont: " << said;
        EXPECT_EQ(said, "") << "a soundfont loads without a word";
    }
    int load_track(const std::string& name, const Bytes& file) { return midi_load(dir.write(name, file).c_str()); }
    // Renders the given time in the device's blocks, under the lock.
    static Frames play_for(double seconds)
    {
        Frames all;
        platform_audio_lock();
        for (int b = 0; b < int(seconds * MIX_SAMPLE_RATE / MIX_BUFFER_FRAMES); ++b) {
            const Frames f = render(MIX_BUFFER_FRAMES);
            all.insert(all.end(), f.begin(), f.end());
        }
        platform_audio_unlock();
        return all;
    }
};

TEST_F(MusicDevice, ATrackSoundsUnderTheEffectsAndStopSilencesItAtOnce)
{
    ASSERT_EQ(load_track("chord.mid", chord_file(1920, 2400)), 0);  // a chord held for two seconds
    const Bytes bytes = ramp(1000);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    platform_audio_lock();
    ASSERT_EQ(midi_play(0), 1);
    platform_audio_unlock();
    EXPECT_NE(midi_slot(0).segment_state, nullptr);
    const Frames playing = play_for(0.5);
    EXPECT_GT(rms(playing, 0.1, 0.5), 500.0) << "the chord is heard";
    EXPECT_LT(peak(playing), 32767);

    platform_audio_lock();
    sfx_play(0, 0);
    const Frames both = render(4096);  // whole blocks, as the device asks for them
    platform_audio_unlock();
    // Take the effect away again: the music is what is left.
    Frames rest(both.size());
    for (size_t k = 0; k < rest.size(); ++k) rest[k] = int16_t(both[k] - std::lrint(expected_frame(bytes, k / 2)));
    EXPECT_GT(rms(rest), 500.0);
    EXPECT_GT(rms(both), rms(rest));

    platform_audio_lock();
    ASSERT_EQ(midi_stop(0), 1);
    const Frames first = render(MIX_BUFFER_FRAMES);
    const Frames after = render(44100);
    platform_audio_unlock();
    EXPECT_EQ(midi_slot(0).segment_state, nullptr);
    EXPECT_TRUE(silent(first)) << "no note hangs on, no reverb tail";
    EXPECT_TRUE(silent(after));
}

TEST_F(MusicDevice, PlayStartsFromTheTopAndReplacesTheCurrentTrack)
{
    ASSERT_EQ(load_track("short.mid", chord_file(240, 1200)), 0);  // a quarter-second chord, a second of silence
    ASSERT_EQ(load_track("long.mid", chord_file(4800, 4900)), 1);
    midi_play(0);
    const Frames once = play_for(0.9);
    EXPECT_GT(rms(once, 0.05, 0.2), 500.0);
    EXPECT_LT(rms(once, 0.8, 0.9), 20.0) << "the chord has died away";
    midi_play(0);
    EXPECT_GT(rms(play_for(0.3), 0.05, 0.2), 500.0) << "the chord again: the track is back at its start";
    EXPECT_EQ(midi_current_track(), 0);

    midi_play(1);
    play_for(0.3);
    midi_play(0);  // the long chord must not go on under the short one
    const Frames out = play_for(1.0);
    EXPECT_EQ(midi_slot(1).segment_state, nullptr);
    EXPECT_EQ(midi_slot(1).play_state, MIDI_STOPPED);
    EXPECT_LT(rms(out, 0.8, 1.0), 20.0);
}

// No usable soundfont: one line naming what was wrong, and the bank goes on
// without music, its ids unchanged.
TEST_F(AudioDevice, WithoutASoundfontTheGameGoesOnWithoutMusic)
{
    const std::string junk = dir.write("junk.sf2", Bytes(4000, 0x5A));
    const std::string none = dir.file("absent.sf2");
    const std::string track = dir.write("t.mid", chord_file());
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{none.c_str()}, "kestrava: music: no General MIDI soundfont found"},
        {{none.c_str(), junk.c_str()}, "kestrava: " + junk + ": "},
    };
    for (const auto& [fonts, line_starts] : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(midi_init_from(fonts.data(), int(fonts.size())), 1);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(midi_synth_ready(), 0);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.rfind(line_starts, 0), 0u) << said;
        EXPECT_NE(said.find("playing without music"), std::string::npos) << said;
        EXPECT_EQ(midi_load(track.c_str()), 0);
        EXPECT_EQ(midi_load(track.c_str()), 1);
        EXPECT_EQ(midi_play(1), 1);
        EXPECT_EQ(midi_current_track(), 1);
        platform_audio_lock();
        EXPECT_TRUE(silent(render(2048)));
        platform_audio_unlock();
        midi_shutdown();
    }
}

// With no device the game goes on silently after one line: on a machine
// without a sound card, not ALSA's own pages of errors. (The bank's results
// without a device are the headless bank's.)
TEST(NoAudioDevice, OneWarningLine)
{
    for (const char* driver : {"no-such-driver", "alsa"}) {
        ScopedEnv env;
        env.set("SDL_AUDIODRIVER", driver);
        testing::internal::CaptureStderr();
        sfx_init();
        const int opened = sfx_device_open();
        sfx_shutdown();
        const std::string said = testing::internal::GetCapturedStderr();
        if (opened) continue;  // this machine has a sound card
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.rfind("kestrava: audio: ", 0), 0u) << said;
        EXPECT_NE(said.find("; playing without sound\n"), std::string::npos) << said;
    }
}

}  // namespace
