// Where the music bank's sound comes from. On the desktop a synthesiser
// plays the tracks' notes through a soundfont (music_synth.cpp); in the
// browser, which has no synthesiser, each track was rendered by that same
// synthesiser when the page was built and is decoded as it plays
// (music_rendered.cpp). The program links one of the two. The bank keeps the
// slots and decides what plays; a source only sounds it.
#pragma once

#include "audio/midi.h"

// Starts the source, trying the soundfonts in order (the first `named` the
// player's); without one the game plays on silent, after its warnings.
// Called only while the audio device is open and no source runs.
void music_source_start(const char* const* soundfonts, int count, int named);
void music_source_stop();  // at shut-down, or before a new start
bool music_source_ready();  // the source sounds what it is given
// The bank read the track `filename` into `slot`: a rendered source finds
// the track's sound beside it.
void music_source_loaded(const MidiSlot& slot, const char* filename);
// Sounds the slot's track from its start, setting its segment_state; ends
// it, silent at once, clearing it. Both do nothing where there is nothing
// to do.
void music_source_play(MidiSlot& slot);
void music_source_end(MidiSlot& slot);
// The bank freed the slot's track.
void music_source_forget(const MidiSlot& slot);
