// Reading a data file whole into memory, once, at load time: the readers then
// check every size against the bytes really there, and the audio thread never
// touches a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Larger than any effect or track of the game by far; a bigger sound or music
// file is refused rather than allowed to take the machine's memory.
constexpr size_t AUDIO_FILE_LIMIT = size_t{16} << 20;

// Reads the file at `path` whole, refusing one of more than `limit` bytes.
// Returns 1, or 0 with *why naming the fault (the system's words for an
// unreadable file).
int read_file(const char* path, size_t limit, std::vector<uint8_t>& out, const char** why);
