// The settings file and the SDL_SOUNDFONTS list.
#include "shell/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/file.h"
#include "base/report.h"

namespace {

constexpr std::string_view SPACE = " \t\r";
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool parse_switch(std::string_view value, bool& out)
{
    std::string lower(value);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (std::string_view yes : {"yes", "true", "on", "1"}) {
        if (lower == yes) return out = true, true;
    }
    for (std::string_view no : {"no", "false", "off", "0"}) {
        if (lower == no) return out = false, true;
    }
    return false;
}

bool parse_volume(std::string_view value, int& out)
{
    if (value.empty() || value.size() > 3) return false;
    int v = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > 100) return false;
    out = v;
    return true;
}

constexpr const char* VOLUME_VALUES = "a whole number from 0 to 100";
constexpr const char* SWITCH_VALUES = "yes or no (or on/off, true/false, 1/0, in any case)";
constexpr const char* SOUNDFONT_VALUES = "a file name of at most 4096 bytes";
constexpr const char* SETTING_NAMES =
    "music-volume, effects-volume, busy-clock, integer-scale, steady-colours, soundfont, fullscreen, focus-pause, "
    "splash-wait";

// One line of the file, as offsets into it so that a rewrite can keep every
// other byte. A `#` at the line's start or after a space or tab starts a
// comment; a value in double quotes may hold one.
struct SettingsLine {
    bool blank = true;   // empty, or only a comment
    bool has_equals = false;
    size_t name_begin = 0, name_end = 0;
    size_t value_begin = 0, value_end = 0;  // as written, quotes included
    std::string value;                      // without its quotes
    const char* fault = nullptr;            // what is wrong with the value's quotes
    std::string_view name(std::string_view line) const { return line.substr(name_begin, name_end - name_begin); }
};

size_t comment_start(std::string_view line, size_t from)
{
    for (size_t p = from; p < line.size(); ++p) {
        if (line[p] == '#' && (p == 0 || line[p - 1] == ' ' || line[p - 1] == '\t')) return p;
    }
    return line.size();
}

// The end of [from, end) without the spaces before `end`.
size_t trimmed_end(std::string_view line, size_t from, size_t end)
{
    while (end > from && SPACE.find(line[end - 1]) != std::string_view::npos) --end;
    return end;
}

void parse_value(std::string_view line, size_t from, SettingsLine& parts)
{
    // An empty value is where the spaces after `=` end.
    size_t begin = line.find_first_not_of(SPACE, from);
    if (begin == std::string_view::npos) begin = trimmed_end(line, from, line.size());
    parts.value_begin = begin;
    if (begin < line.size() && line[begin] == '"') {
        const size_t close = line.find('"', begin + 1);
        const size_t after = close == std::string_view::npos ? line.size() : close + 1;
        const size_t rest = std::min(line.find_first_not_of(SPACE, after), line.size());
        if (close == std::string_view::npos) {
            parts.fault = "the value's closing quote is missing";
        } else if (rest < line.size() && (line[rest] != '#' || rest == after)) {
            parts.fault = "there is more after the quoted value";
        }
        parts.value_end = parts.fault ? trimmed_end(line, begin, comment_start(line, after)) : after;
        if (!parts.fault) parts.value = line.substr(begin + 1, close - begin - 1);
        return;
    }
    parts.value_end = trimmed_end(line, begin, comment_start(line, begin));
    parts.value = line.substr(begin, parts.value_end - begin);
}

SettingsLine parse_line(std::string_view line)
{
    SettingsLine parts;
    const size_t first = line.find_first_not_of(SPACE);
    if (first == std::string_view::npos || line[first] == '#') return parts;
    parts.blank = false;
    const size_t comment = comment_start(line, first);
    const size_t equals = std::min(line.find('='), line.size());
    parts.has_equals = equals < comment;
    parts.name_begin = first;
    parts.name_end = trimmed_end(line, first, std::min(equals, comment));
    parts.value_begin = parts.value_end = parts.name_end;
    if (parts.has_equals) parse_value(line, equals + 1, parts);
    return parts;
}

// Calls `each(line, offset, number)` for every line of the text, without its
// newline; a byte-order mark before the first is no part of it.
template <typename Each>
void for_each_line(std::string_view text, Each each)
{
    size_t start = text.starts_with(BYTE_ORDER_MARK) ? BYTE_ORDER_MARK.size() : 0;
    for (int number = 1; start < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', start), text.size());
        each(text.substr(start, end - start), start, number);
        start = end + 1;
    }
}

// Names are short; a long one is shown cut.
std::string quoted(std::string_view text)
{
    std::string out(1, '\'');
    out.append(shown_text(text.substr(0, 40))).push_back('\'');
    return out;
}

}  // namespace

const char* settings_values(std::string_view name)
{
    if (name == "music-volume" || name == "effects-volume") return VOLUME_VALUES;
    if (name == "busy-clock" || name == "integer-scale" || name == "gentle" || name == "steady-colours" ||
        name == "focus-pause" || name == "fullscreen" || name == "splash-wait")
        return SWITCH_VALUES;
    if (name == "soundfont") return SOUNDFONT_VALUES;
    return nullptr;
}

bool settings_set(Settings& settings, std::string_view name, std::string_view value)
{
    if (name == "music-volume") return parse_volume(value, settings.music_volume);
    if (name == "effects-volume") return parse_volume(value, settings.effects_volume);
    if (name == "busy-clock") return parse_switch(value, settings.busy_clock);
    if (name == "integer-scale") return parse_switch(value, settings.integer_scale);
    if (name == "gentle") {
        bool gentle = false;
        if (!parse_switch(value, gentle)) return false;
        settings.busy_clock = !gentle;
        return true;
    }
    if (name == "steady-colours") return parse_switch(value, settings.steady_colours);
    if (name == "focus-pause") return parse_switch(value, settings.focus_pause);
    if (name == "splash-wait") return parse_switch(value, settings.splash_wait);
    if (name == "best-runs") return parse_switch(value, settings.best_runs);
    if (name == "fullscreen") return parse_switch(value, settings.fullscreen);
    if (name == "soundfont") {
        if (value.empty() || value.size() > SOUNDFONT_PATH_LIMIT || value.find('\0') != std::string_view::npos) {
            return false;
        }
        settings.soundfont = value;
        return true;
    }
    return false;
}

void settings_parse(std::string_view text, Settings& settings, std::vector<SettingsProblem>& problems)
{
    for_each_line(text, [&](std::string_view line, size_t, int number) {
        const SettingsLine parts = parse_line(line);
        const std::string_view name = parts.name(line);
        const char* values = settings_values(name);
        if (parts.blank) return;
        if (!parts.has_equals) {
            problems.push_back({number, "not a 'name = value' line"});
        } else if (!values) {
            problems.push_back({number, quoted(name) + " is not a setting (the settings: " + SETTING_NAMES + ")"});
        } else if (parts.fault) {
            problems.push_back({number, std::string(name) + ": " + parts.fault});
        } else if (!settings_set(settings, name, parts.value)) {
            problems.push_back({number, std::string(name) + ": the value " + quoted(parts.value) +
                                            " is not understood; it takes " + values});
        }
    });
}

std::string settings_with_fullscreen(std::string_view text, bool fullscreen)
{
    const std::string_view chosen = fullscreen ? "yes" : "no";
    std::string out;
    size_t copied = 0;
    bool found = false;
    for_each_line(text, [&](std::string_view line, size_t offset, int) {
        const SettingsLine parts = parse_line(line);
        if (parts.blank || parts.name(line) != "fullscreen") return;
        found = true;
        // Only the value changes: the indentation, the spaces and a comment
        // are the player's.
        out.append(text.substr(copied, offset + parts.value_begin - copied));
        if (!parts.has_equals) out += " = ";
        out += chosen;
        copied = offset + parts.value_end;
        if (parts.value_end < line.size() && line[parts.value_end] == '#') out += ' ';
    });
    out.append(text.substr(copied));
    if (!found) {
        // A file written with CRLF keeps its line ends.
        const std::string_view newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
        if (!out.empty() && out.back() != '\n') out += newline;
        out.append("fullscreen = ").append(chosen).append(newline);
    }
    return out;
}

std::vector<std::string> soundfont_list(std::string_view list, std::vector<std::string>* unused)
{
    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
        const std::string_view path = list.substr(start, end - start);
        start = end + 1;
        if (path.empty()) continue;
        if (paths.size() == SOUNDFONT_LIST_LIMIT) {
            if (unused) unused->push_back("entries past the sixteenth are not used");
            break;
        }
        if (path.size() <= SOUNDFONT_PATH_LIMIT) {
            paths.emplace_back(path);
        } else if (unused) {
            unused->push_back("a path of " + std::to_string(path.size()) + " bytes is not used (at most " +
                              std::to_string(SOUNDFONT_PATH_LIMIT) + ")");
        }
    }
    return paths;
}

std::string settings_path()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored.
    if (config && config[0] == '/') return std::string(config) + "/kestrava/kestrava.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/kestrava/kestrava.conf";
    return {};
}

// The file's text; false with *why when it exists but cannot be read whole.
static bool read_settings(const std::string& path, std::string& text, const char** why)
{
    std::vector<uint8_t> bytes;
    text.clear();
    if (!read_file(path.c_str(), SETTINGS_FILE_LIMIT, bytes, why)) return errno == ENOENT;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

void settings_load(const std::string& path, Settings& settings)
{
    if (path.empty()) return;
    std::string text;
    const char* why = nullptr;
    if (!read_settings(path, text, &why)) {
        report_warning(path.c_str(), why);
        return;
    }
    std::vector<SettingsProblem> problems;
    settings_parse(text, settings, problems);
    for (const SettingsProblem& p : problems) {
        const std::string where = path + ":" + std::to_string(p.line);
        report_warning(where.c_str(), p.what.c_str());
    }
}

static bool save_failed(const std::string& path, const std::string& why)
{
    const std::string reason = "the fullscreen choice was not kept: " + why;
    report_warning(path.c_str(), reason.c_str());
    return false;
}

// Makes the folder if it is missing; its parent must exist or be made first.
static bool make_folder(const std::string& folder, mode_t mode)
{
    return mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// The file a chain of links ends at (itself when it is no link), which may
// not exist yet: a player's dotfiles link keeps pointing at their file.
static bool link_target(const std::string& path, std::string& target, std::string& why)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string next(PATH_MAX, '\0');
        const ssize_t n = readlink(target.c_str(), next.data(), next.size());
        if (n < 0 || static_cast<size_t>(n) >= next.size()) {
            why = n < 0 ? std::strerror(errno) : "its link names too long a path";
            return false;
        }
        next.resize(static_cast<size_t>(n));
        target = next[0] == '/' ? next : target.substr(0, target.rfind('/') + 1) + next;
    }
    why = std::strerror(ELOOP);
    return false;
}

// Why the file must be left as it is, or "".
static std::string left_alone(const std::string& target, const struct stat& st)
{
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    // Replacing a file gives it a new inode: its other names would keep the old.
    if (st.st_nlink > 1) return "it has other hard links, which a rewrite would part from it";
    if (access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) return "the file is read-only";
    return "";
}

bool settings_save_fullscreen(const std::string& path, bool fullscreen)
{
    if (path.empty())
        return save_failed("settings", "neither XDG_CONFIG_HOME nor HOME names a folder to keep it in");
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash);
    const std::string config_home = folder.substr(0, folder.rfind('/'));
    if (!make_folder(config_home, 0700) || !make_folder(folder, 0755)) return save_failed(path, std::strerror(errno));
    std::string target, why;
    if (!link_target(path, target, why)) return save_failed(path, why);
    struct stat st{};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return save_failed(path, std::strerror(errno));
    if (exists && !(why = left_alone(target, st)).empty()) return save_failed(path, why);

    // The file as it is now: the player may have edited it while playing.
    std::string text;
    const char* read_why = nullptr;
    if (!read_settings(target, text, &read_why)) return save_failed(path, read_why);
    const std::string updated = settings_with_fullscreen(text, fullscreen);
    if (updated.size() > SETTINGS_FILE_LIMIT)
        return save_failed(path, "the file would grow past the 64 KiB the game reads");
    if (!replace_file(target, updated, exists ? &st : nullptr, &why)) return save_failed(path, why);
    return true;
}
