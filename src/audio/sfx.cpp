// The sound-effect bank: 256 slots, each holding one effect's bytes in
// memory, played by the mixer on the one audio device that sfx_init opens.
//
// Without a device (none on the machine, or none by design as in the replay
// runner) the bank keeps all its slot logic, so ids and results are the same
// as with sound; only nothing plays, and every loaded effect reports silent.
#include "audio/sfx.h"

#include <SDL_audio.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "audio/mixer.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/wav.h"
#include "platform/platform.h"

static std::array<SoundSlot, SOUND_SLOTS> sound_bank;  // indexed by id
static int sound_device;          // 1 while the audio device is open
static int sound_first_call = 1;  // 1 until sfx_init opens the device, and again after sfx_shutdown

// An id from a failed load is -1: it names no slot, and every operation on it
// does what it does on an empty one.
static bool names_a_slot(int id) { return id >= 0 && id < SOUND_SLOTS; }

const SoundSlot& sfx_slot(int id)
{
    static const SoundSlot none{nullptr, 0, 0, -1};
    return names_a_slot(id) ? sound_bank[id] : none;
}
int sfx_device_open() { return sound_device; }

// Takes the bytes away from the mixer first, so the audio thread never reads
// freed memory.
static void release_buffer(SoundSlot& slot)
{
    if (!slot.buffer) return;
    mixer_detach(slot.id);
    delete[] slot.buffer;
    slot.buffer = nullptr;
}

void sfx_init()
{
    if (sound_first_call) {
        sound_bank = {};
        sound_first_call = 0;
        mixer_reset();
        const char* why = nullptr;
        sound_device = platform_audio_open(MIX_SAMPLE_RATE, MIX_BUFFER_FRAMES, mixer_render, &why);
        // The game runs without sound rather than refuse to start; a device
        // that is missing by design needs no warning.
        if (!sound_device && why) {
            char reason[320];
            std::snprintf(reason, sizeof reason, "%s; playing without sound", why);
            report_warning("audio", reason);
        }
    }
    for (int i = 0; i < SOUND_SLOTS; ++i) {
        SoundSlot& slot = sound_bank[i];
        if (slot.buffer) sfx_stop(i);
        release_buffer(slot);
        slot = SoundSlot{nullptr, 0, 0, i};
    }
}

// SDL's converter has no 24-bit samples: they go in as 32-bit ones, the
// three bytes at the top.
static std::vector<uint8_t> widen_24_bits(const uint8_t* bytes, uint32_t count)
{
    std::vector<uint8_t> wide(static_cast<size_t>(count) / 3 * 4);
    for (size_t i = 0, o = 0; i + 3 <= count; i += 3, o += 4) {
        wide[o] = 0;
        wide[o + 1] = bytes[i];
        wide[o + 2] = bytes[i + 1];
        wide[o + 3] = bytes[i + 2];
    }
    return wide;
}

int sfx_convert(const WavData& wav, std::vector<uint8_t>& out, const char** why)
{
    const WAVEFORMATEX& f = wav.format;
    out.clear();
    if (wav.samples == WAVE_FORMAT_PCM && f.wBitsPerSample == 8 && f.nChannels == 1 &&
        f.nSamplesPerSec == EFFECT_SAMPLE_RATE) {
        out.assign(wav.data, wav.data + wav.data_bytes);
        return 1;
    }
    SDL_AudioFormat from = AUDIO_U8;
    std::vector<uint8_t> widened;
    const uint8_t* samples = wav.data;
    uint32_t bytes = wav.data_bytes;
    if (wav.samples == WAVE_FORMAT_IEEE_FLOAT) {
        from = AUDIO_F32LSB;
    } else if (f.wBitsPerSample == 16) {
        from = AUDIO_S16LSB;
    } else if (f.wBitsPerSample == 24) {
        widened = widen_24_bits(wav.data, wav.data_bytes);
        samples = widened.data();
        bytes = static_cast<uint32_t>(widened.size());
        from = AUDIO_S32LSB;
    } else if (f.wBitsPerSample == 32) {
        from = AUDIO_S32LSB;
    }
    // SDL's audio stream drops the last few hundredths of a second even when
    // flushed; the one-pass converter keeps the effect's whole length.
    SDL_AudioCVT cvt{};
    if (SDL_BuildAudioCVT(&cvt, from, static_cast<Uint8>(f.nChannels), static_cast<int>(f.nSamplesPerSec), AUDIO_U8,
                          1, static_cast<int>(EFFECT_SAMPLE_RATE)) < 0) {
        *why = "the sound converter cannot take this format";
        return 0;
    }
    std::vector<uint8_t> work(static_cast<size_t>(bytes) * static_cast<size_t>(cvt.len_mult));
    std::memcpy(work.data(), samples, bytes);
    cvt.buf = work.data();
    cvt.len = static_cast<int>(bytes);
    if (SDL_ConvertAudio(&cvt) != 0) {
        *why = "the sound converter failed";
        return 0;
    }
    if (cvt.len_cvt <= 0) {
        *why = "too short to leave a sample at 11025 Hz";
        return 0;
    }
    out.assign(work.data(), work.data() + cvt.len_cvt);
    return 1;
}

int sfx_load_wav(const char* filename)
{
    int id = 0;
    while (id < SOUND_SLOTS && sound_bank[id].in_use) ++id;
    if (id == SOUND_SLOTS) {
        report_failure(filename, "every sound slot is taken");
        return -1;
    }
    std::vector<uint8_t> file;
    const char* why = nullptr;
    WavData wav{};
    if (!read_file(filename, AUDIO_FILE_LIMIT, file, &why) || !wav_parse(file.data(), file.size(), wav, &why)) {
        report_failure(filename, why);
        return -1;
    }
    std::vector<uint8_t> effect;
    if (!sfx_convert(wav, effect, &why)) {
        report_failure(filename, why);
        return -1;
    }
    uint8_t* bytes = new (std::nothrow) uint8_t[effect.size()];
    if (!bytes) {
        report_failure(filename, "out of memory");
        return -1;
    }
    std::memcpy(bytes, effect.data(), effect.size());
    SoundSlot& slot = sound_bank[id];
    slot.buffer = bytes;
    slot.in_use = 1;
    slot.data_bytes = static_cast<int>(effect.size());
    mixer_attach(id, bytes, static_cast<uint32_t>(effect.size()));
    return id;
}

void sfx_play(int id)
{
    if (names_a_slot(id) && sound_bank[id].buffer && sound_device) mixer_start(id);
}

void sfx_stop(int id)
{
    if (names_a_slot(id) && sound_bank[id].buffer && sound_device) mixer_stop(id);
}

void sfx_stop_all()
{
    for (int i = 0; i < SOUND_SLOTS; ++i) sfx_stop(i);
}

void sfx_delete(int id)
{
    if (!names_a_slot(id)) return;
    sfx_stop(id);
    release_buffer(sound_bank[id]);
}

void sfx_delete_all()
{
    for (int i = 0; i < SOUND_SLOTS; ++i) sfx_delete(i);
}

int sfx_status(int id)
{
    if (!names_a_slot(id) || !sound_bank[id].buffer) return -1;
    if (!sound_device) return 0;  // nothing ever plays on a silent bank
    return mixer_playing(id) ? DSBSTATUS_PLAYING : 0;
}

void sfx_shutdown()
{
    sfx_stop_all();
    for (SoundSlot& slot : sound_bank) release_buffer(slot);
    if (sound_device) platform_audio_close();
    sound_device = 0;
    // Nothing is held any more: a later sfx_init starts the bank afresh.
    sound_first_call = 1;
}
