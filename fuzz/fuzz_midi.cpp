// The music bank's loading path: the validator on the bytes, and midi_load on
// the same bytes as a file (without a device there is no synthesiser, so this
// is all of the project's own code a track goes through before the player).
//
// Beyond the sanitizers: load and validator agree, a loaded track is the
// file's bytes, and whatever the validator accepts really is a walkable file:
// an independent walk of its chunks finds every declared track inside it.
#include <cstdint>
#include <cstring>

#include "audio/midi.h"
#include "base/bytes.h"
#include "base/report.h"
#include "formats/midi_file.h"
#include "fuzz_file.h"

namespace {

bool tracks_inside(const uint8_t* data, size_t size)
{
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return false;
    const unsigned tracks = get16be(data + 10);
    uint64_t pos = 8 + uint64_t{get32be(data + 4)};
    unsigned found = 0;
    while (found < tracks) {
        if (pos + 8 > size) return false;
        const uint64_t end = pos + 8 + get32be(data + pos + 4);
        if (end > size) return false;
        if (std::memcmp(data + pos, "MTrk", 4) == 0) {
            // A track that passes ends with its end-of-track event.
            if (end - pos < 8 + 3 || std::memcmp(data + end - 3, "\xFF\x2F\x00", 3) != 0) return false;
            ++found;
        }
        pos = end;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* why = nullptr;
    const int valid = midi_validate(data, size, &why);
    if (valid) {
        FUZZ_CHECK(tracks_inside(data, size));
    } else {
        FUZZ_CHECK(why != nullptr && why[0] != '\0');
    }

    const char* path = fuzz_write_file(data, size, ".mid");
    report_clear();
    midi_init();
    const int id = midi_load(path);
    FUZZ_CHECK(id == (valid ? 0 : -1));
    const MidiSlot& slot = midi_slot(0);
    if (valid) {
        FUZZ_CHECK(slot.play_state == MIDI_LOADED && slot.segment_bytes == size);
        FUZZ_CHECK(std::memcmp(slot.segment, data, size) == 0);
        FUZZ_CHECK(midi_play(id) == 1 && midi_current_track() == id);
        FUZZ_CHECK(midi_stop(id) == 1 && midi_current_track() == -1);
    } else {
        FUZZ_CHECK(slot.play_state == MIDI_FREE && slot.segment == nullptr);
        FUZZ_CHECK(std::strncmp(report_text(), path, std::strlen(path)) == 0);
    }
    midi_delete_all();
    midi_shutdown();
    return 0;
}
