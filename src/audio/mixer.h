// The audio thread's side of the two banks: the effects that are playing, the
// music synthesiser, and how both are summed into the device's buffer.
//
// Effects are 8-bit mono at 11,025 Hz; the device runs at exactly four times
// that, so each effect is upsampled by a fixed 4 with linear interpolation
// (cheap, and it keeps the images of the old rate well below the effect
// itself, where repeating each byte four times would buzz). Every effect is
// summed at half scale, the music at the synthesiser's own gain, and the sum
// goes through a soft limiter: untouched up to half scale, then bent smoothly
// towards full scale, which it never reaches (one loud effect passes
// unchanged, two at their peaks come out at three quarters). Several loud
// effects at once get louder and rounder, never wrapped or clipped.
#pragma once

#include <cstdint>

#include "audio/sfx.h"
#include "formats/wav.h"

constexpr int MIX_SAMPLE_RATE = 44100;  // the device's frames a second
// 11.6 ms at 44.1 kHz: an effect starts well within the frame that plays it.
constexpr int MIX_BUFFER_FRAMES = 512;
constexpr int EFFECT_UPSAMPLE = 4;  // output frames per effect byte
static_assert(EFFECT_SAMPLE_RATE * EFFECT_UPSAMPLE == MIX_SAMPLE_RATE);
constexpr float EFFECT_GAIN = 0.5f;    // a full-scale effect's level in the mix
constexpr float LIMITER_KNEE = 0.5f;   // the level above which the limiter bends

// These take the audio lock themselves. A voice plays the bank slot of the
// same index; its bytes stay the slot's and must outlive the attachment.
void mixer_reset();  // every voice empty, no music
void mixer_attach(int id, const uint8_t* bytes, uint32_t length);  // when the bank loads an effect
void mixer_detach(int id);  // before the bank frees the effect's bytes
void mixer_start(int id);   // from the first byte, also when already playing
void mixer_stop(int id);    // silent at once; the voice stays attached
int mixer_playing(int id);  // 1 from mixer_start until the last byte is played or it is stopped

// The music source, called inside mixer_render for each block of at most
// MIX_BUFFER_FRAMES frames; nullptr for none.
using MusicRenderFn = void (*)(float* left, float* right, int frames);
void mixer_set_music(MusicRenderFn render);  // by the music bank as its synthesiser starts and stops

// The player's volumes, 0 (silence) to 100 (the mix as described above),
// scaling the effects' sum and the music before the limiter.
void mixer_set_volumes(int music_percent, int effects_percent);

// The device's callback: fills `frames` interleaved stereo frames. It never
// allocates, never waits and touches no file. The device calls it holding the
// audio lock; any other caller must hold the lock too.
void mixer_render(int16_t* stereo, int frames);

// The limiter's curve, for one sample of the sum.
float mixer_limit(float x);
