// The effect bank's WAV reader: wav_parse on the bytes, and sfx_load_wav on
// the same bytes as a file, as the game loads its effects.
//
// What is accepted must point inside the file, be PCM, hold at least one
// byte, and reach the slot unchanged; what is refused must leave the slot
// free and say why.
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
        FUZZ_CHECK(wav.format.wFormatTag == WAVE_FORMAT_PCM);
        FUZZ_CHECK(wav.data_bytes > 0);
        FUZZ_CHECK(wav.data >= data + 20 && wav.data + wav.data_bytes <= data + size);
        FUZZ_CHECK(std::memcmp(wav.data - 8, "data", 4) == 0);
    } else {
        FUZZ_CHECK(why != nullptr && why[0] != '\0');
    }

    const char* path = fuzz_write_file(data, size, ".wav");
    report_clear();
    sfx_init();
    const int id = sfx_load_wav(path, DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME);
    FUZZ_CHECK(id == (parsed ? 0 : -1));
    const SoundSlot& slot = sfx_slot(0);
    if (parsed) {
        FUZZ_CHECK(slot.in_use == 1 && slot.buffer != nullptr);
        FUZZ_CHECK(slot.data_bytes == static_cast<int>(wav.data_bytes));
        FUZZ_CHECK(std::memcmp(slot.buffer, wav.data, wav.data_bytes) == 0);
        FUZZ_CHECK(sfx_play(id, 0) == 1);
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
