// Standard MIDI Files, checked before the synthesiser sees them.
#pragma once

#include <cstddef>
#include <cstdint>

// Checks that a Standard MIDI File can be walked safely: its header, each of
// its tracks inside the file, and every event inside its track. Returns 1, or
// 0 with *why naming the fault.
int midi_validate(const uint8_t* bytes, size_t size, const char** why);
