// Key scripts: one line a frame, naming the keys held during that frame.
// The replay runner reads them; recorded runs write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

// One bit a key, in this order.
enum ScriptKey : uint8_t {
    SCRIPT_ESC = 1 << 0,
    SCRIPT_RETURN = 1 << 1,
    SCRIPT_SPACE = 1 << 2,
    SCRIPT_UP = 1 << 3,
    SCRIPT_DOWN = 1 << 4,
    SCRIPT_LEFT = 1 << 5,
    SCRIPT_RIGHT = 1 << 6,
};
constexpr int SCRIPT_MASKS = 1 << 7;  // every set of the seven keys

// A script holds at most 24 hours of play at 30 ms a frame, a line at most
// 4 KiB: anything longer is not a recording, and reading it would only take
// the machine's memory.
constexpr size_t KEYSCRIPT_MAX_LINE_BYTES = 4096;
constexpr size_t KEYSCRIPT_MAX_LINES = 24 * 60 * 60 * 1000 / FRAME_MS;

enum KeyScriptFault { KEYSCRIPT_UNKNOWN_KEY, KEYSCRIPT_LINE_TOO_LONG, KEYSCRIPT_TOO_MANY_LINES };

struct KeyScriptError {
    int line;          // from 1
    std::string word;  // the word that is not a key name
    KeyScriptFault fault;
};

// Parses a whole script. Returns 1 with one mask per frame, or 0 with the
// first fault and its line.
int keyscript_parse(const char* text, size_t size, std::vector<uint8_t>& frames, KeyScriptError& error);
// Reads and parses a script file line by line, stopping at the first fault.
// Returns 1; or 0 with error.line 0 when the file cannot be read (errno says
// why), or the first fault and its line.
int keyscript_load(const char* path, std::vector<uint8_t>& frames, KeyScriptError& error);
// The fault in words: "unknown key 'JUMP'", "line longer than 4096 bytes".
std::string keyscript_fault_text(const KeyScriptError& error);
// The 256-byte key state a frame's mask stands for.
void keyscript_key_state(uint8_t mask, uint8_t* key_state);
// The mask of the seven script keys held in a key state.
uint8_t keyscript_mask(const uint8_t* key_state);
// One script line for a mask, without its newline ("" for no key).
std::string keyscript_line(uint8_t mask);
