// Keyboard polling into the World's key_state. No events, no edges: a key is
// seen when it is held at the moment of a poll.
//
// Live, each poll reads the keyboard afresh. Recording or playing back, a
// frame's keys are fixed at its first poll: a key script holds one line a
// frame, and a replay gives every poll of the frame that line. Frames are
// told apart by the clock's marks: the shell calls clock_mark before a
// frame's poll.
#include "input/keyboard.h"

#include <array>
#include <string>

#include "input/keyscript.h"
#include "platform/clock.h"
#include "platform/platform.h"

enum class KeySource { LIVE, RECORD, PLAY };

static bool keyboard_open;                 // the edge's keyboard is open: polls read it
static KeySource source = KeySource::LIVE;  // where each frame's keys come from
static bool frame_latched;                 // frame_keys hold the keys of the frame marked latched_mark
static uint32_t latched_mark;              // frame_serial of the latched frame
static KeyState frame_keys;                // the latched frame's keys, given to its every poll
static std::FILE* record_file;             // the caller's, while recording
static bool record_failed;                 // a line could not be written
static size_t recorded_lines;              // lines written since keyboard_record
static std::array<std::string, SCRIPT_MASKS> record_lines;  // the line of each mask, made once
static std::vector<uint8_t> play_frames;   // the script being played, a mask a frame
static size_t play_next;                   // the next line of play_frames

int keyboard_init()
{
    keyboard_open = platform_keyboard_open() != 0;
    return keyboard_open ? 1 : 0;
}

// The keys of a new frame, as the game will see them all frame long.
static void latch_frame(const KeyState& last)
{
    KeyState held = last;  // without a device the last known state stands
    if (keyboard_open) platform_keyboard_read(held.data());
    uint8_t mask = keyscript_mask(held.data());
    if (source == KeySource::RECORD) {
        // A script longer than the runner reads would be a recording no one
        // can play: past the bound the run goes on unrecorded.
        if (recorded_lines < KEYSCRIPT_MAX_LINES) {
            ++recorded_lines;
            if (std::fputs(record_lines[mask].c_str(), record_file) < 0 || std::fputc('\n', record_file) < 0)
                record_failed = true;
        }
    } else {
        const uint8_t quit = mask & SCRIPT_ESC;
        mask = play_next < play_frames.size() ? play_frames[play_next] : 0;
        mask |= quit;
        ++play_next;
    }
    // Only what the script can say reaches the game, so a replay is exact.
    keyscript_key_state(mask, frame_keys.data());
    frame_latched = true;
    latched_mark = frame_serial;
}

void keyboard_poll(KeyState& keys)
{
    if (source == KeySource::LIVE) {
        if (keyboard_open) platform_keyboard_read(keys.data());
        return;
    }
    if (!frame_latched || latched_mark != frame_serial) latch_frame(keys);
    keys = frame_keys;
}

void keyboard_shutdown()
{
    if (keyboard_open) platform_keyboard_close();
    keyboard_open = false;
}

void keyboard_record(std::FILE* file)
{
    for (size_t mask = 0; mask < record_lines.size(); ++mask) record_lines[mask] = keyscript_line(uint8_t(mask));
    record_file = file;
    record_failed = false;
    recorded_lines = 0;
    frame_latched = false;
    source = KeySource::RECORD;
}

int keyboard_go_live()
{
    const bool recording = source == KeySource::RECORD;
    const bool ok = !recording || (!record_failed && std::fflush(record_file) == 0);
    const bool cut = recording && recorded_lines >= KEYSCRIPT_MAX_LINES;
    record_file = nullptr;
    source = KeySource::LIVE;
    frame_latched = false;
    return !ok ? 0 : cut ? 2 : 1;
}

void keyboard_play(const std::vector<uint8_t>& frames)
{
    play_frames = frames;
    play_next = 0;
    frame_latched = false;
    source = KeySource::PLAY;
}

size_t keyboard_played_frames() { return play_next; }

bool keyboard_play_finished() { return source == KeySource::PLAY && play_next >= play_frames.size(); }
