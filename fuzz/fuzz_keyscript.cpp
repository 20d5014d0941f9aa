// The replay runner's key-script parser.
//
// A script that parses gives one mask of the seven keys per line, and the
// lines written back from those masks parse to the same masks; a script that
// is refused names a word of the given line that is no key.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "input/keyscript.h"

namespace {

constexpr const char* KEY_NAMES[] = {"ESC", "RETURN", "SPACE", "UP", "DOWN", "LEFT", "RIGHT"};

// Line `number` (from 1) without its newline, or false past the end.
bool line_of(const char* text, size_t size, int number, std::string& line)
{
    size_t start = 0;
    for (int n = 1; start < size; ++n) {
        const void* nl = std::memchr(text + start, '\n', size - start);
        const size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text) : size;
        if (n == number) {
            line.assign(text + start, end - start);
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    std::vector<uint8_t> frames;
    KeyScriptError error{};
    if (!keyscript_parse(text, size, frames, error)) {
        FUZZ_CHECK(frames.empty());
        std::string line;
        FUZZ_CHECK(line_of(text, size, error.line, line));
        FUZZ_CHECK(error.fault != KEYSCRIPT_TOO_MANY_LINES);  // no input is that long
        if (error.fault == KEYSCRIPT_LINE_TOO_LONG) {
            FUZZ_CHECK(line.size() > KEYSCRIPT_MAX_LINE_BYTES);
            return 0;
        }
        FUZZ_CHECK(!error.word.empty() && line.find(error.word) != std::string::npos);
        for (const char* name : KEY_NAMES) FUZZ_CHECK(error.word != name);
        return 0;
    }
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    if (size > 0 && data[size - 1] != '\n') ++lines;
    FUZZ_CHECK(frames.size() == lines);

    std::string again;
    uint8_t keys[256];
    for (uint8_t mask : frames) {
        FUZZ_CHECK(mask < 0x80);
        keyscript_key_state(mask, keys);
        FUZZ_CHECK(keyscript_mask(keys) == mask);
        again += keyscript_line(mask);
        again += '\n';
    }
    std::vector<uint8_t> reparsed;
    FUZZ_CHECK(keyscript_parse(again.data(), again.size(), reparsed, error) == 1);
    FUZZ_CHECK(reparsed == frames);
    return 0;
}
