// The settings file and the SDL_SOUNDFONTS list.
#include "shell/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/file.h"
#include "base/report.h"

static std::string_view trimmed(std::string_view s)
{
    const char* space = " \t\r";
    const size_t first = s.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

static bool parse_switch(std::string_view value, bool& out)
{
    for (std::string_view yes : {"yes", "true", "on", "1"}) {
        if (value == yes) return out = true, true;
    }
    for (std::string_view no : {"no", "false", "off", "0"}) {
        if (value == no) return out = false, true;
    }
    return false;
}

static bool parse_volume(std::string_view value, int& out)
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

bool settings_set(Settings& settings, std::string_view name, std::string_view value)
{
    if (name == "music-volume") return parse_volume(value, settings.music_volume);
    if (name == "effects-volume") return parse_volume(value, settings.effects_volume);
    if (name == "gentle") return parse_switch(value, settings.gentle);
    if (name == "steady-colours") return parse_switch(value, settings.steady_colours);
    if (name == "focus-pause") return parse_switch(value, settings.focus_pause);
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

// Calls `each(line, number)` for every line of the text, without its newline.
template <typename Each>
static void for_each_line(std::string_view text, Each each)
{
    int number = 1;
    for (size_t start = 0; start < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', start), text.size());
        each(text.substr(start, end - start), number);
        start = end + 1;
    }
}

// The name of a `name = value` line; empty for blank lines and comments.
static std::string_view line_name(std::string_view line, std::string_view* value)
{
    const std::string_view content = trimmed(line);
    if (content.empty() || content[0] == '#') return {};
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos) return content;
    if (value) *value = trimmed(content.substr(equals + 1));
    return trimmed(content.substr(0, equals));
}

void settings_parse(std::string_view text, Settings& settings, std::vector<SettingsProblem>& problems)
{
    for_each_line(text, [&](std::string_view line, int number) {
        const std::string_view content = trimmed(line);
        if (content.empty() || content[0] == '#') return;
        if (content.find('=') == std::string_view::npos) {
            problems.push_back({number, "not a 'name = value' line"});
            return;
        }
        std::string_view value;
        const std::string_view name = line_name(line, &value);
        if (!settings_set(settings, name, value)) {
            // Names are short; a long one is shown cut.
            const std::string shown(name.substr(0, 40));
            problems.push_back({number, "'" + shown + "' is no setting or its value is not understood"});
        }
    });
}

std::string settings_with_fullscreen(std::string_view text, bool fullscreen)
{
    const std::string chosen = fullscreen ? "fullscreen = yes" : "fullscreen = no";
    std::string out;
    out.reserve(text.size() + chosen.size() + 1);
    bool found = false;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (line_name(line, nullptr) == "fullscreen") {
            out += chosen;
            // A file written with CRLF keeps its line ends.
            if (!line.empty() && line.back() == '\r') out += '\r';
            found = true;
        } else {
            out += line;
        }
        if (end < text.size()) out += '\n';
        start = end + 1;
    }
    if (!found) {
        if (!out.empty() && out.back() != '\n') out += '\n';
        out += chosen;
        out += '\n';
    }
    return out;
}

std::vector<std::string> soundfont_list(std::string_view list)
{
    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= list.size() && paths.size() < SOUNDFONT_LIST_LIMIT) {
        const size_t end = std::min(list.find(':', start), list.size());
        const std::string_view path = list.substr(start, end - start);
        if (!path.empty() && path.size() <= SOUNDFONT_PATH_LIMIT) paths.emplace_back(path);
        start = end + 1;
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
    if (!read_file(path.c_str(), SETTINGS_FILE_LIMIT, bytes, why)) {
        if (errno == ENOENT) {
            text.clear();
            return true;
        }
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

void settings_load(const std::string& path, Settings& settings)
{
    if (path.empty()) return;
    errno = 0;
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

static bool save_failed(const std::string& path, const char* why)
{
    const std::string reason = std::string("the fullscreen choice was not kept: ") + why;
    report_warning(path.c_str(), reason.c_str());
    return false;
}

// Makes the folder if it is missing; its parent must exist or be made first.
static bool make_folder(const std::string& folder, mode_t mode)
{
    return mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

bool settings_save_fullscreen(const std::string& path, bool fullscreen)
{
    if (path.empty()) return false;
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash);
    const std::string config_home = folder.substr(0, folder.rfind('/'));
    if (!make_folder(config_home, 0700) || !make_folder(folder, 0755)) return save_failed(path, std::strerror(errno));

    // The file as it is now: the player may have edited it while playing.
    errno = 0;
    std::string text;
    const char* why = nullptr;
    if (!read_settings(path, text, &why)) return save_failed(path, why);
    const std::string updated = settings_with_fullscreen(text, fullscreen);

    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return save_failed(path, std::strerror(errno));
    struct stat old{};
    mode_t mode = 0644;
    if (stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    bool written = fchmod(fd, mode) == 0;
    for (size_t done = 0; written && done < updated.size();) {
        const ssize_t n = write(fd, updated.data() + done, updated.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<size_t>(n);
    }
    const int write_errno = errno;
    written = written && fsync(fd) == 0;
    if (close(fd) != 0) written = false;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = written ? errno : (write_errno ? write_errno : EIO);
        unlink(temporary.c_str());
        return save_failed(path, std::strerror(saved));
    }
    return true;
}
