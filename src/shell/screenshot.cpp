// Screenshots. The pictures folder is looked up the way xdg-user-dir does it:
// the user's user-dirs.dirs first, then the environment, then home. Nothing is
// created but the picture itself, and nothing is ever overwritten: two
// screenshots in one second get two names.
#include "shell/screenshot.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "base/file.h"
#include "base/report.h"
#include "formats/png.h"

namespace {

constexpr int MAX_SERIAL = 99;

bool is_folder(const std::string& path)
{
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string environment(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string home_folder()
{
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    return home;
}

// user-dirs.dirs is a few lines; anything else (a link to an endless device,
// a pipe) names no folder.
constexpr size_t USER_DIRS_LIMIT = 64 * 1024;

std::string read_text(const std::string& path)
{
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file(path.c_str(), USER_DIRS_LIMIT, bytes, &why)) {
        if (errno != ENOENT) report_warning(path.c_str(), why);
        return "";
    }
    return std::string(bytes.begin(), bytes.end());
}

// The value between the quotes of XDG_PICTURES_DIR="...", shell escapes undone.
bool quoted_value(const std::string& line, size_t start, std::string& value)
{
    if (start >= line.size() || line[start] != '"') return false;
    value.clear();
    for (size_t i = start + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') return true;
        if (c == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else {
            value += c;
        }
    }
    return false;  // no closing quote
}

}  // namespace

std::string user_dirs_pictures(const std::string& text, const std::string& home)
{
    static constexpr char KEY[] = "XDG_PICTURES_DIR=";
    std::string found;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        if (line.compare(p, sizeof KEY - 1, KEY) != 0) continue;
        std::string value;
        if (!quoted_value(line, p + sizeof KEY - 1, value)) continue;
        // Only two forms are allowed: "$HOME/..." and an absolute path.
        if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
            if (home.empty()) continue;
            found = home + value.substr(5);
        } else if (!value.empty() && value[0] == '/') {
            found = value;
        } else {
            continue;
        }
        // Like the shell sourcing the file, the last assignment wins.
    }
    while (found.size() > 1 && found.back() == '/') found.pop_back();
    return found;
}

std::string screenshot_folder()
{
    const std::string home = home_folder();
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') config = home.empty() ? "" : home + "/.config";
    if (!config.empty()) {
        const std::string pictures = user_dirs_pictures(read_text(config + "/user-dirs.dirs"), home);
        if (is_folder(pictures)) return pictures;
    }
    const std::string from_environment = environment("XDG_PICTURES_DIR");
    if (!from_environment.empty() && from_environment[0] == '/' && is_folder(from_environment)) {
        return from_environment;
    }
    return is_folder(home) ? home : "";
}

std::string screenshot_name(const std::tm& local, int serial)
{
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) stamp[0] = '\0';
    char name[64];
    if (serial > 1) {
        std::snprintf(name, sizeof name, "kestrava-%s-%d.png", stamp, serial);
    } else {
        std::snprintf(name, sizeof name, "kestrava-%s.png", stamp);
    }
    return name;
}

int screenshot_save_in(const std::string& folder, const std::tm& local, const PlatformPicture& picture,
                       std::string& out)
{
    if (folder.empty()) {
        out = "no home folder to save into";
        return 0;
    }
    Palette colours{};
    std::copy(picture.palette, picture.palette + colours.size(), colours.begin());
    const std::string base = folder.back() == '/' ? folder : folder + "/";
    for (int serial = 1; serial <= MAX_SERIAL; ++serial) {
        const std::string path = base + screenshot_name(local, serial);
        // "x": created here or not at all, so no earlier picture is replaced.
        std::FILE* file = std::fopen(path.c_str(), "wbx");
        if (!file && errno == EEXIST) continue;
        if (!file) {
            out = path + ": " + std::strerror(errno);
            return 0;
        }
        errno = 0;
        int ok = png_write_indexed(file, picture.width, picture.height, picture.pixels,
                                   static_cast<size_t>(picture.pitch), colours);
        const int saved = errno;
        if (std::fclose(file) != 0) ok = 0;
        if (!ok) {
            out = path + ": " + (saved ? std::strerror(saved) : "cannot write the picture");
            std::remove(path.c_str());
            return 0;
        }
        out = path;
        return 1;
    }
    out = base + screenshot_name(local, 1) + ": too many screenshots in one second";
    return 0;
}

void screenshot_take(const PlatformPicture& picture)
{
    if (!picture.pixels) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string result;
    if (screenshot_save_in(screenshot_folder(), local, picture, result)) {
        std::printf("%s\n", result.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "kestrava: screenshot not saved: %s\n", result.c_str());
    }
}
