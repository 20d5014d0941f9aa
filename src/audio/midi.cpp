// The music bank: 64 slots of Standard MIDI Files held in memory, of which
// one plays at a time through the music's source (music_source.h).
//
// Without a device or without a source that sounds (no soundfont) the bank
// keeps its slot logic (files are still read and checked, ids are the same)
// and the game runs without music.
#include "audio/midi.h"

#include <array>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "audio/music_source.h"
#include "audio/sfx.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/midi_file.h"

static std::array<MidiSlot, MUSIC_SLOTS> music_bank;  // indexed by id
static int current_track = -1;                         // the id that plays, -1 for none
static std::vector<std::string> chosen_soundfonts;     // the player's, tried first

const MidiSlot& midi_slot(int id)
{
    static const MidiSlot none{nullptr, nullptr, -1, MIDI_FREE, 0};
    return id >= 0 && id < MUSIC_SLOTS ? music_bank[id] : none;
}
int midi_current_track() { return current_track; }
int midi_synth_ready() { return music_source_ready(); }

void midi_choose_soundfonts(const std::vector<std::string>& paths) { chosen_soundfonts = paths; }

static void release_tracks()
{
    for (MidiSlot& slot : music_bank) {
        if (!slot.segment) continue;
        music_source_end(slot);
        music_source_forget(slot);
        delete[] slot.segment;
        slot.segment = nullptr;
        slot.segment_bytes = 0;
        slot.play_state = MIDI_FREE;
    }
    // Nothing plays from an empty bank: a track loaded into the freed slot
    // must not be taken for the current one and stopped by the next play.
    current_track = -1;
}

void midi_init_from(const char* const* soundfonts, int count, int named)
{
    release_tracks();  // a second call empties the bank
    for (int i = 0; i < MUSIC_SLOTS; ++i) music_bank[i] = MidiSlot{nullptr, nullptr, i, MIDI_FREE, 0};
    current_track = -1;
    // Without a device the effect bank has already said so, once.
    if (!music_source_ready() && sfx_device_open()) music_source_start(soundfonts, count, named);
}

void midi_init()
{
    std::vector<const char*> paths;
    for (const std::string& path : chosen_soundfonts) paths.push_back(path.c_str());
    paths.insert(paths.end(), std::begin(MIDI_SOUNDFONTS), std::end(MIDI_SOUNDFONTS));
    midi_init_from(paths.data(), static_cast<int>(paths.size()), static_cast<int>(chosen_soundfonts.size()));
}

int midi_load(const char* filename)
{
    int id = 0;
    while (id < MUSIC_SLOTS && music_bank[id].play_state != MIDI_FREE) ++id;
    if (id == MUSIC_SLOTS) {
        report_failure(filename, "every music slot is taken");
        return -1;
    }
    std::vector<uint8_t> file;
    const char* why = nullptr;
    if (!read_file(filename, AUDIO_FILE_LIMIT, file, &why) || !midi_validate(file.data(), file.size(), &why)) {
        report_failure(filename, why);
        return -1;
    }
    uint8_t* bytes = new (std::nothrow) uint8_t[file.size()];
    if (!bytes) {
        report_failure(filename, "out of memory");
        return -1;
    }
    std::memcpy(bytes, file.data(), file.size());
    music_bank[id] = MidiSlot{bytes, nullptr, id, MIDI_LOADED, static_cast<uint32_t>(file.size())};
    music_source_loaded(music_bank[id], filename);
    return id;
}

// An id from a failed load is -1: it names no slot.
static bool names_a_slot(int id) { return id >= 0 && id < MUSIC_SLOTS; }

int midi_play(int id)
{
    if (!names_a_slot(id)) return 0;
    MidiSlot& slot = music_bank[id];
    if (!slot.segment || slot.play_state == MIDI_FREE) return 0;
    if (current_track != -1) midi_stop(current_track);
    // A track may still sound after midi_stop of another one cleared the
    // current track; the source sounds one track at a time.
    for (MidiSlot& other : music_bank) music_source_end(other);
    music_source_play(slot);
    current_track = id;
    slot.play_state = MIDI_PLAYING;
    return 1;
}

int midi_stop(int id)
{
    if (!names_a_slot(id)) return 0;
    MidiSlot& slot = music_bank[id];
    if (!slot.segment || slot.play_state == MIDI_FREE) return 0;
    music_source_end(slot);
    slot.play_state = MIDI_STOPPED;
    current_track = -1;
    return 1;
}

void midi_delete_all() { release_tracks(); }

void midi_shutdown()
{
    release_tracks();
    music_source_stop();
}
