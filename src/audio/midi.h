// The music bank: up to 64 Standard MIDI Files, one playing at a time.
#pragma once

constexpr int MUSIC_SLOTS = 64;

enum MidiState : int {
    MIDI_FREE = 0,
    MIDI_LOADED = 1,
    MIDI_PLAYING = 2,
    MIDI_STOPPED = 3,
};

int midi_init();
int midi_load(const char* filename);
int midi_play(int id);
int midi_stop(int id);
int midi_delete_all();
int midi_shutdown();
