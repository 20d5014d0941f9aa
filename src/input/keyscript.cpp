// Key-script parsing and writing.
#include "input/keyscript.h"

#include <cstdio>
#include <cstring>

#include "base/report.h"
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

// One line without its newline: its mask appended to the frames, or 0 with
// the fault.
static int take_line(const char* p, const char* end, std::vector<uint8_t>& frames, KeyScriptError& error)
{
    ++error.line;
    if (static_cast<size_t>(end - p) > KEYSCRIPT_MAX_LINE_BYTES) {
        error.fault = KEYSCRIPT_LINE_TOO_LONG;
        return 0;
    }
    if (frames.size() >= KEYSCRIPT_MAX_LINES) {
        error.fault = KEYSCRIPT_TOO_MANY_LINES;
        return 0;
    }
    if (end > p && end[-1] == '\r') --end;
    // Some editors begin a UTF-8 file with a byte-order mark.
    if (error.line == 1 && end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    uint8_t mask = 0;
    if (!parse_line(p, end, mask, error.word)) {
        error.fault = KEYSCRIPT_UNKNOWN_KEY;
        return 0;
    }
    frames.push_back(mask);
    return 1;
}

int keyscript_parse(const char* text, size_t size, std::vector<uint8_t>& frames, KeyScriptError& error)
{
    frames.clear();
    error = KeyScriptError{};
    const char* p = text;
    const char* end = text + size;
    while (p < end) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* line_end = newline ? newline : end;
        if (!take_line(p, line_end, frames, error)) {
            frames.clear();
            return 0;
        }
        p = newline ? newline + 1 : end;
    }
    return 1;
}

int keyscript_load(const char* path, std::vector<uint8_t>& frames, KeyScriptError& error)
{
    frames.clear();
    error = KeyScriptError{};
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    // At most one line is held: a line past its bound ends the read there,
    // however much the file (or device) still has to give.
    std::string line;
    line.reserve(KEYSCRIPT_MAX_LINE_BYTES + 1);
    int ok = 1;
    int c;
    while (ok && (c = std::getc(f)) != EOF) {
        if (c == '\n') {
            ok = take_line(line.data(), line.data() + line.size(), frames, error);
            line.clear();
        } else if (line.size() > KEYSCRIPT_MAX_LINE_BYTES) {
            ok = take_line(line.data(), line.data() + line.size(), frames, error);
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    const bool read = !std::ferror(f);
    std::fclose(f);
    if (ok && !read) {
        frames.clear();
        error.line = 0;
        return 0;
    }
    if (ok && !line.empty()) ok = take_line(line.data(), line.data() + line.size(), frames, error);
    if (!ok) frames.clear();
    return ok;
}

std::string keyscript_fault_text(const KeyScriptError& error)
{
    switch (error.fault) {
    case KEYSCRIPT_LINE_TOO_LONG: return "line longer than " + std::to_string(KEYSCRIPT_MAX_LINE_BYTES) + " bytes";
    case KEYSCRIPT_TOO_MANY_LINES:
        return "more than " + std::to_string(KEYSCRIPT_MAX_LINES) + " lines (24 hours of play)";
    case KEYSCRIPT_UNKNOWN_KEY: break;
    }
    return "unknown key '" + shown_text(error.word) + "'";
}

void keyscript_key_state(uint8_t mask, uint8_t* key_state)
{
    std::memset(key_state, 0, std::tuple_size_v<KeyState>);
    for (const KeyName& k : KEY_NAMES) {
        if (mask & k.bit) key_state[k.scan_code] = KEY_HELD;
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
