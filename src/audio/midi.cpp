// Placeholder until the music bank lands: a bank with no device.
#include "audio/midi.h"
int midi_init() { return 1; }
int midi_load(const char*) { return -1; }
int midi_play(int) { return 0; }
int midi_stop(int) { return 0; }
int midi_delete_all() { return 1; }
int midi_shutdown() { return 1; }
