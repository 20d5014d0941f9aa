// The sound-effect bank: 256 slots of preloaded 8-bit mono 11,025 Hz effects,
// played, stopped and queried by id, mixed into the one audio device.
#pragma once

#include <cstdint>
#include <vector>

struct WavData;

constexpr int SOUND_SLOTS = 256;  // effects the bank can hold
constexpr int DSBSTATUS_PLAYING = 1;  // sfx_status of an effect that is sounding

// One slot of the bank. `buffer` is the slot's own copy of the effect, 8-bit
// mono at 11,025 Hz, converted at load from whatever PCM the file held; null
// when the slot holds none.
struct SoundSlot {
    uint8_t* buffer;
    int in_use;      // taken by a load; only sfx_init gives it back
    int data_bytes;  // the effect's length in bytes, as converted
    int id;          // the slot's own index, the id the game plays it by
};

// An effect's samples in the bank's own format: 8-bit mono 11,025 Hz files
// byte for byte, any other through SDL's audio converter. Returns 1, or 0
// with *why naming the fault.
int sfx_convert(const WavData& wav, std::vector<uint8_t>& out, const char** why);

// At start-up, and again to empty the bank: the first call opens the audio
// device (without one the game plays silently, after one warning line unless
// it has none by design); every call frees every slot.
void sfx_init();
// Loads a WAV file into the lowest free slot and returns its id, or -1 after
// one line naming the file and the fault.
int sfx_load_wav(const char* filename);
// Starts the effect from its first byte, restarting it if it sounds; an id
// that names no loaded effect does nothing.
void sfx_play(int id);
// Silences the effect, or every effect; an empty slot is left as it is.
void sfx_stop(int id);
void sfx_stop_all();
// Frees the effect's bytes; the slot stays taken until the next sfx_init.
void sfx_delete(int id);
void sfx_delete_all();
// -1: the id names no loaded effect; 0: loaded and silent (always so without
// a device); DSBSTATUS_PLAYING (1): sounding. The engine starts only at 0.
int sfx_status(int id);
// At shut-down: frees every effect and closes the device; a later sfx_init
// starts afresh.
void sfx_shutdown();

// A slot as it stands, for the tests and the music bank's checks.
const SoundSlot& sfx_slot(int id);
// 1 while the audio device is open: the music bank renders only then.
int sfx_device_open();
