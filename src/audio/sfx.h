// The sound-effect bank: 256 slots of preloaded 8-bit mono 11,025 Hz effects,
// played, stopped and queried by id, mixed into the one audio device.
#pragma once

#include <cstdint>
#include <vector>

struct WavData;

constexpr int SOUND_SLOTS = 256;
constexpr uint32_t DSBCAPS_STATIC = 0x2;
constexpr uint32_t DSBCAPS_LOCSOFTWARE = 0x8;
constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr int DSBSTATUS_PLAYING = 1;

// One slot of the bank. `buffer` is the slot's own copy of the effect, 8-bit
// mono at 11,025 Hz, converted at load from whatever PCM the file held; null
// when the slot holds none.
struct SoundSlot {
    uint8_t* buffer;
    int in_use;       // taken by a load; only sfx_init gives it back
    int sample_rate;  // as the file declares it; nothing reads it
    int data_bytes;   // the effect's length in bytes, as converted
    int id;
};

// An effect's samples in the bank's own format: 8-bit mono 11,025 Hz files
// byte for byte, any other through SDL's audio converter. Returns 1, or 0
// with *why naming the fault.
int sfx_convert(const WavData& wav, std::vector<uint8_t>& out, const char** why);

int sfx_init();
int sfx_load_wav(const char* filename, uint32_t flags);
int sfx_play(int id, uint32_t flags);
int sfx_stop(int id);
int sfx_stop_all();
int sfx_delete(int id);
int sfx_delete_all();
int sfx_status(int id);
int sfx_shutdown();

// A slot as it stands, for the tests and the music bank's checks.
const SoundSlot& sfx_slot(int id);
// 1 while the audio device is open: the music bank renders only then.
int sfx_device_open();
