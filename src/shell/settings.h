// The player's settings: the options a player may keep in a file so that the
// game starts from a desktop menu the way they like it, the file itself, and
// the SDL_SOUNDFONTS list. Reading and rewriting the text are pure, so the
// tests and the fuzzer drive them without files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct Settings {
    int music_volume = 100;    // 0 silence, 100 the game's own mix
    int effects_volume = 100;
    bool busy_clock = false;   // the frame clock spins through its whole wait
    bool integer_scale = false;  // the picture only at whole multiples
    bool steady_colours = false;
    bool focus_pause = true;   // losing the window's focus pauses
    bool fullscreen = true;
    bool splash_wait = true;   // the splash shows four seconds before the game loads on
    bool best_runs = true;     // the best games are kept, with the keys that played them
    std::string soundfont;     // tried first; empty: none named
};

// A settings file is a few lines; a larger one is not the player's.
constexpr size_t SETTINGS_FILE_LIMIT = 64 * 1024;
// SDL_SOUNDFONTS: the paths kept, and the longest path taken.
constexpr size_t SOUNDFONT_LIST_LIMIT = 16;
constexpr size_t SOUNDFONT_PATH_LIMIT = 4096;

struct SettingsProblem {
    int line;          // from 1
    std::string what;  // why the line was not understood
};

// Sets one setting by its name (`music-volume`, `busy-clock`, ...); volumes
// take 0 to 100, the switches yes/no (true/false, on/off, 1/0, in any case).
// `gentle`, the clock's older name, is the default clock when yes, the busy
// one when no. Returns false, and leaves the settings as they were, when the
// name or the value is not one.
bool settings_set(Settings& settings, std::string_view name, std::string_view value);
// The values a setting takes, in words ("a whole number from 0 to 100");
// null when the name is no setting.
const char* settings_values(std::string_view name);

// Applies the `name = value` lines of a settings file in order; blank lines
// are skipped, and a `#` at a line's start or after a space or tab starts a
// comment. A value in double quotes may hold " #" (the quotes are not part of
// it). Each line not understood adds one problem saying whether the name or
// the value is wrong, and the others still apply.
void settings_parse(std::string_view text, Settings& settings, std::vector<SettingsProblem>& problems);

// The text with the value of every `fullscreen` line set to the choice, or
// one such line appended (with the file's line ends) when there is none;
// every other byte stays as it was.
std::string settings_with_fullscreen(std::string_view text, bool fullscreen);

// The paths of a colon-separated list, empty entries dropped; at most
// SOUNDFONT_LIST_LIMIT of them, and none longer than SOUNDFONT_PATH_LIMIT.
// What is left out is said in `unused`, one note each.
std::vector<std::string> soundfont_list(std::string_view list, std::vector<std::string>* unused = nullptr);

// $XDG_CONFIG_HOME/kestrava/kestrava.conf, or ~/.config/kestrava/kestrava.conf;
// empty when neither names an absolute folder.
std::string settings_path();

// Reads the file into `settings`; a missing file is no settings at all. Each
// problem is one warning line naming the file and the line.
void settings_load(const std::string& path, Settings& settings);

// Rewrites the file with the fullscreen choice: the new text is written
// beside the file a link names and renamed over it, with the file's mode,
// owner and group, so the file is whole at every moment and stays the
// player's. A read-only or hard-linked file, or one that would grow past
// what the game reads, is left as it is. Returns false after one warning
// line (also when `path` is empty: there is no place to keep the choice).
bool settings_save_fullscreen(const std::string& path, bool fullscreen);
