// The keyboard: a 256-byte key state by PC scan code, filled by polling.
// It also records a run as a key script and plays one back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "input/keys.h"

// At start-up, last of the devices: opens the edge's keyboard. Returns 1,
// or 0 when it cannot be opened.
int keyboard_init();
// Refills `keys` (the World's key state) with the keys held now; without a
// device, the state they hold stands.
void keyboard_poll(KeyState& keys);
void keyboard_shutdown();  // first of shut-down: closes the edge's keyboard

// Recorded runs. From now on every frame's keys are written to `file` as one
// key-script line, and every poll within a frame sees the keys of its first
// poll, so that the recording replays exactly. The file stays the caller's.
void keyboard_record(std::FILE* file);
// Back to the live keyboard, from a recording or a playback. 0 when a
// recording could not write every line to its file, 2 when it stopped at
// the longest script the game reads (KEYSCRIPT_MAX_LINES frames), else 1.
int keyboard_go_live();

// Playback: from now on each frame holds the keys of the script's next line;
// of the keyboard (and pads) only ESC counts, and it quits.
void keyboard_play(const std::vector<uint8_t>& frames);
// The frames played so far, and whether the script has run out.
size_t keyboard_played_frames();
bool keyboard_play_finished();  // the shell's loop stops then
