// The effect bank's WAV reader: wav_parse on the bytes, and sfx_load_wav on
// the same bytes as a file, as the game loads its effects.
//
// What is accepted must point inside the file, be integer or float PCM of a
// size the bank converts, hold whole frames, and reach the slot as 8-bit mono
// at 11,025 Hz: unchanged when it is that already, else of the length the
// rate change gives. What is refused must leave the slot free and say why.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/sfx.h"
#include "formats/wav.h"
#include "fuzz_file.h"
#include "base/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WavData wav{};
    const char* why = nullptr;
    const int parsed = wav_parse(data, size, wav, &why);
    if (parsed) {
        const WAVEFORMATEX& f = wav.format;
        FUZZ_CHECK(wav.samples == WAVE_FORMAT_PCM || wav.samples == WAVE_FORMAT_IEEE_FLOAT);
        FUZZ_CHECK(f.nChannels == 1 || f.nChannels == 2);
        FUZZ_CHECK(f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nBlockAlign > 0);
        FUZZ_CHECK(wav.data_bytes > 0 && wav.data_bytes % f.nBlockAlign == 0);
        FUZZ_CHECK(wav.data >= data + 20 && wav.data + wav.data_bytes <= data + size);
        FUZZ_CHECK(std::memcmp(wav.data - 8, "data", 4) == 0);
    } else {
        FUZZ_CHECK(why != nullptr && why[0] != '\0');
    }

    const char* path = fuzz_write_file(data, size, ".wav");
    report_clear();
    sfx_init();
    const int id = sfx_load_wav(path);
    const SoundSlot& slot = sfx_slot(0);
    const bool as_is = parsed && wav.samples == WAVE_FORMAT_PCM && wav.format.wBitsPerSample == 8 &&
                       wav.format.nChannels == 1 && wav.format.nSamplesPerSec == EFFECT_SAMPLE_RATE;
    const double frames = parsed ? double(wav.data_bytes) / wav.format.nBlockAlign : 0;
    const double expected = parsed ? frames * EFFECT_SAMPLE_RATE / wav.format.nSamplesPerSec : 0;
    // Only a sound too short to leave one sample at the bank's rate may be
    // refused once parsed.
    FUZZ_CHECK(id == (parsed ? 0 : -1) || (parsed && id == -1 && expected < 2));
    if (id == 0) {
        FUZZ_CHECK(slot.in_use == 1 && slot.buffer != nullptr);
        if (as_is) {
            FUZZ_CHECK(slot.data_bytes == static_cast<int>(wav.data_bytes));
            FUZZ_CHECK(std::memcmp(slot.buffer, wav.data, wav.data_bytes) == 0);
        } else {
            FUZZ_CHECK(std::fabs(slot.data_bytes - expected) <= expected / 100 + 2);
        }
        sfx_play(id);
        FUZZ_CHECK(sfx_status(id) == 0);  // no device: loaded, silent
    } else {
        FUZZ_CHECK(slot.in_use == 0 && slot.buffer == nullptr);
        FUZZ_CHECK(std::strncmp(report_text(), path, std::strlen(path)) == 0);
    }
    sfx_stop_all();
    sfx_delete_all();
    sfx_shutdown();
    return 0;
}
