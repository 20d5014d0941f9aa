// The music bank: up to 64 Standard MIDI Files, one playing at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int MUSIC_SLOTS = 64;  // tracks the bank can hold

// Debian's General MIDI soundfonts, in the order the game tries them. The
// small one the game installs comes first: it loads in a few tens of
// milliseconds into some 20 MB, where the large one takes half a second and
// 150 MB. Then whatever the system's default points at, then the large one
// by name.
inline constexpr const char* MIDI_SOUNDFONTS[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};
// The synthesiser's default gain of 0.2 leaves the music faint beside the
// effects; this puts its loud passages near the limiter's knee.
constexpr double MUSIC_GAIN = 0.5;

enum MidiState : int {
    MIDI_FREE = 0,
    MIDI_LOADED = 1,
    MIDI_PLAYING = 2,
    MIDI_STOPPED = 3,
};

// What sounds one track while it plays: the synthesiser's player of its
// notes, or the decoder of its rendered sound in the browser.
struct MusicPlayer;

// One slot of the bank. The track is the file's bytes, read and checked at
// load; the player exists only while the track sounds.
struct MidiSlot {
    uint8_t* segment;             // the file's bytes; null when the slot is free
    MusicPlayer* segment_state;   // the player of this track, while it plays
    int id;                         // the slot's own index, the id the game plays it by
    int play_state;                 // MidiState
    uint32_t segment_bytes;         // the size of segment
};

// At start-up, after sfx_init, and again to empty the bank: frees every slot
// and, while none runs and the audio device is open, starts the synthesiser.
void midi_init();
// midi_init with the soundfonts tried in the given order; midi_init itself
// tries the player's choice, then Debian's General MIDI soundfonts. The first
// `named` of them are the player's: one that is missing is said so, where a
// missing one of the game's own list is passed over quietly. Every one that
// cannot be loaded is one warning line, and the next is tried.
void midi_init_from(const char* const* soundfonts, int count, int named = 0);
// The soundfonts the player named, tried before the game's own list; called
// before midi_init.
void midi_choose_soundfonts(const std::vector<std::string>& paths);
// Reads and checks a Standard MIDI File into the lowest free slot and returns
// its id, or -1 after one line naming the file and the fault.
int midi_load(const char* filename);
// Plays the track from its start in place of the current one; stops the
// track. Each returns 1, or 0 when the id names no loaded track.
int midi_play(int id);
int midi_stop(int id);
// Frees every track; nothing plays after it.
void midi_delete_all();
// At shut-down: frees every track and stops the synthesiser.
void midi_shutdown();

// A slot and the current track as they stand, for the tests.
const MidiSlot& midi_slot(int id);
int midi_current_track();  // the id that plays, -1 for none
// 1 when the music sounds into the audio device: a soundfont is loaded, or
// in the browser the rendered tracks are there.
int midi_synth_ready();
