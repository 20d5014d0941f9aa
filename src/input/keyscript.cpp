// Key-script parsing and writing.
#include "input/keyscript.h"

#include <cstdio>
#include <cstring>

#include "input/keys.h"

struct KeyName {
    const char* name;
    uint8_t bit;
    int scan_code;
};
static constexpr KeyName KEY_NAMES[] = {
    {"ESC", SCRIPT_ESC, DIK_ESCAPE}, {"RETURN", SCRIPT_RETURN, DIK_RETURN}, {"SPACE", SCRIPT_SPACE, DIK_SPACE},
    {"UP", SCRIPT_UP, DIK_UP},       {"DOWN", SCRIPT_DOWN, DIK_DOWN},       {"LEFT", SCRIPT_LEFT, DIK_LEFT},
    {"RIGHT", SCRIPT_RIGHT, DIK_RIGHT},
};

static int parse_line(const char* p, const char* end, uint8_t& mask, std::string& bad)
{
    mask = 0;
    while (p < end) {
        if (*p == ' ' || *p == '\t') {
            ++p;
            continue;
        }
        if (*p == '#') break;
        const char* word = p;
        while (p < end && *p != ' ' && *p != '\t' && *p != '#') ++p;
        const size_t length = static_cast<size_t>(p - word);
        bool known = false;
        for (const KeyName& k : KEY_NAMES) {
            if (std::strlen(k.name) == length && std::memcmp(k.name, word, length) == 0) {
                mask |= k.bit;
                known = true;
                break;
            }
        }
        if (!known) {
            bad.assign(word, length);
            return 0;
        }
    }
    return 1;
}

int keyscript_parse(const char* text, size_t size, std::vector<uint8_t>& frames, KeyScriptError& error)
{
    frames.clear();
    const char* p = text;
    const char* end = text + size;
    int line = 0;
    while (p < end) {
        ++line;
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* line_end = newline ? newline : end;
        const char* content_end = line_end;
        if (content_end > p && content_end[-1] == '\r') --content_end;
        uint8_t mask = 0;
        if (!parse_line(p, content_end, mask, error.word)) {
            error.line = line;
            frames.clear();
            return 0;
        }
        frames.push_back(mask);
        p = newline ? newline + 1 : end;
    }
    return 1;
}

int keyscript_load(const char* path, std::vector<uint8_t>& frames, KeyScriptError& error)
{
    error = KeyScriptError{};
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    std::vector<char> text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.insert(text.end(), chunk, chunk + n);
    const bool read = !std::ferror(f);
    std::fclose(f);
    if (!read) return 0;
    return keyscript_parse(text.data(), text.size(), frames, error);
}

void keyscript_key_state(uint8_t mask, uint8_t* key_state)
{
    std::memset(key_state, 0, 256);
    for (const KeyName& k : KEY_NAMES) {
        if (mask & k.bit) key_state[k.scan_code] = 0x80;
    }
}

uint8_t keyscript_mask(const uint8_t* key_state)
{
    uint8_t mask = 0;
    for (const KeyName& k : KEY_NAMES) {
        if (key_state[k.scan_code]) mask |= k.bit;
    }
    return mask;
}

std::string keyscript_line(uint8_t mask)
{
    std::string line;
    for (const KeyName& k : KEY_NAMES) {
        if (!(mask & k.bit)) continue;
        if (!line.empty()) line += ' ';
        line += k.name;
    }
    return line;
}
