// Key scripts: one line a frame, naming the keys held during that frame.
// The replay runner reads them; recorded runs write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

struct KeyScriptError {
    int line;          // from 1
    std::string word;  // the word that is not a key name
};

// Parses a whole script. Returns 1 with one mask per frame, or 0 with the
// first bad word and its line.
int keyscript_parse(const char* text, size_t size, std::vector<uint8_t>& frames, KeyScriptError& error);
// Reads and parses a script file. Returns 1; or 0 with error.line 0 when the
// file cannot be read (errno says why), or the first bad word and its line.
int keyscript_load(const char* path, std::vector<uint8_t>& frames, KeyScriptError& error);
// The 256-byte key state a frame's mask stands for.
void keyscript_key_state(uint8_t mask, uint8_t* key_state);
// The mask of the seven script keys held in a key state.
uint8_t keyscript_mask(const uint8_t* key_state);
// One script line for a mask, without its newline ("" for no key).
std::string keyscript_line(uint8_t mask);
