// The mixer: one voice per effect slot, the music, the limiter.
#include "audio/mixer.h"

#include <cmath>
#include <cstdint>

#include "platform/platform.h"

struct EffectVoice {
    const uint8_t* bytes;  // null: nothing attached
    uint32_t length;       // effect bytes
    uint32_t cursor;       // output frames played since the start
    int playing;           // 1 while it sounds
};

static EffectVoice voices[SOUND_SLOTS];  // one per bank slot, by id
static MusicRenderFn music_render;       // the synthesiser's, or null
static float music_volume = 1.0f;        // the player's music volume, 0 to 1
static float effects_volume = 1.0f;      // the player's effects volume, 0 to 1

void mixer_reset()
{
    platform_audio_lock();
    for (EffectVoice& v : voices) v = EffectVoice{};
    music_render = nullptr;
    platform_audio_unlock();
}

void mixer_attach(int id, const uint8_t* bytes, uint32_t length)
{
    platform_audio_lock();
    voices[id] = EffectVoice{bytes, length, 0, 0};
    platform_audio_unlock();
}

void mixer_detach(int id)
{
    platform_audio_lock();
    voices[id] = EffectVoice{};
    platform_audio_unlock();
}

void mixer_start(int id)
{
    platform_audio_lock();
    EffectVoice& v = voices[id];
    v.cursor = 0;
    v.playing = v.bytes != nullptr;
    platform_audio_unlock();
}

void mixer_stop(int id)
{
    platform_audio_lock();
    voices[id].playing = 0;
    voices[id].cursor = 0;
    platform_audio_unlock();
}

int mixer_playing(int id)
{
    platform_audio_lock();
    const int playing = voices[id].playing;
    platform_audio_unlock();
    return playing;
}

void mixer_set_music(MusicRenderFn render)
{
    platform_audio_lock();
    music_render = render;
    platform_audio_unlock();
}

constexpr int FULL_VOLUME = 100;  // percent
// An unsigned 8-bit sample's silence, and its distance to full scale.
constexpr int U8_SILENCE = 128;

void mixer_set_volumes(int music_percent, int effects_percent)
{
    auto scale = [](int percent) {
        return static_cast<float>(percent < 0 ? 0 : percent > FULL_VOLUME ? FULL_VOLUME : percent) / FULL_VOLUME;
    };
    platform_audio_lock();
    music_volume = scale(music_percent);
    effects_volume = scale(effects_percent);
    platform_audio_unlock();
}

static float effect_sample(uint8_t byte)
{
    return static_cast<float>(byte - U8_SILENCE) * (EFFECT_GAIN / U8_SILENCE);
}

// Adds the voice's next frames into `mono` and lets it fall silent at its end.
static void add_effect(EffectVoice& v, float* mono, int frames)
{
    const uint32_t total = v.length * EFFECT_UPSAMPLE;
    for (int k = 0; k < frames && v.cursor < total; ++k, ++v.cursor) {
        const uint32_t i = v.cursor / EFFECT_UPSAMPLE;
        const float phase = static_cast<float>(v.cursor % EFFECT_UPSAMPLE) * (1.0f / EFFECT_UPSAMPLE);
        const float a = effect_sample(v.bytes[i]);
        // past the last byte the effect glides to silence, not to a click
        const float b = i + 1 < v.length ? effect_sample(v.bytes[i + 1]) : 0.0f;
        mono[k] += a + (b - a) * phase;
    }
    if (v.cursor >= total) v.playing = 0;
}

float mixer_limit(float x)
{
    const float a = std::fabs(x);
    if (a <= LIMITER_KNEE) return x;
    if (std::isnan(a)) return 0.0f;
    constexpr float span = 1.0f - LIMITER_KNEE;
    // u / (1 + u) leaves the knee with slope 1, so the bend has no corner,
    // and rises slowly enough that seven loud effects still sound louder
    // than six.
    const float u = (a - LIMITER_KNEE) / span;
    return std::copysign(LIMITER_KNEE + span * (1.0f - 1.0f / (1.0f + u)), x);
}

static int16_t to_s16(float x) { return static_cast<int16_t>(std::lrint(mixer_limit(x) * INT16_MAX)); }

void mixer_render(int16_t* stereo, int frames)
{
    float effects[MIX_BUFFER_FRAMES];
    float left[MIX_BUFFER_FRAMES];
    float right[MIX_BUFFER_FRAMES];
    while (frames > 0) {
        const int n = frames < MIX_BUFFER_FRAMES ? frames : MIX_BUFFER_FRAMES;
        for (int k = 0; k < n; ++k) effects[k] = 0.0f;
        for (EffectVoice& v : voices)
            if (v.playing) add_effect(v, effects, n);
        if (music_render) {
            music_render(left, right, n);
        } else {
            for (int k = 0; k < n; ++k) left[k] = right[k] = 0.0f;
        }
        for (int k = 0; k < n; ++k) {
            const float effect = effects[k] * effects_volume;
            stereo[2 * k] = to_s16(effect + left[k] * music_volume);
            stereo[2 * k + 1] = to_s16(effect + right[k] * music_volume);
        }
        stereo += 2 * n;
        frames -= n;
    }
}
