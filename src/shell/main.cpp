// kestrava: the game. Its data files are read from the data folder (the
// working directory, or the one --data names); a file missing there is taken
// from the installed data folder next to the program (../share/games/kestrava
// from its games/), so that the game starts from a desktop menu and a mod
// folder need hold only the files a player replaced.
//
//   kestrava [--data DIR] [--record FILE | --play FILE] [the player's settings]
//   kestrava --check-data [DIR]
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/data_files.h"
#include "base/report.h"
#include "input/keyboard.h"
#include "input/keyscript.h"
#include "shell/check_data.h"
#include "shell/shell.h"

static const char USAGE[] =
    "usage: kestrava [--data DIR] [--record FILE | --play FILE] [SETTINGS]\n"
    "       kestrava --check-data [DIR]\n"
    "Fly around a burning star, shoot the asteroids and rescue the astronaut.\n"
    "  --data DIR        read the data files from DIR; a file missing there comes\n"
    "                    from the installed data\n"
    "  --check-data [DIR]  say for each data file where it comes from, its format\n"
    "                    and what the game makes of it; exit 0 when the game\n"
    "                    would start on them, 1 when not\n"
    "  --record FILE     play, and write the run to FILE as a key script (FILE must\n"
    "                    not exist yet; at most 24 hours of play)\n"
    "  --play FILE       play a key script back in the window; ESC quits\n"
    "  --help            show this and exit\n"
    "  --version         show the version and exit\n"
    "Settings:\n"
    "  --music-volume N    music volume, 0 (silence) to 100 (the default)\n"
    "  --effects-volume N  sound effects volume, 0 to 100 (the default)\n"
    "  --gentle            sleep through most of each frame's wait: a cooler\n"
    "                      processor, the same pace\n"
    "  --steady-colours    flashing texts keep each colour for half a second,\n"
    "                      none of them dark\n"
    "  --soundfont PATH    the General MIDI soundfont to try first (then those\n"
    "                      of SDL_SOUNDFONTS, colon-separated, then the system's)\n"
    "  --no-focus-pause    play on when the window loses the keyboard's focus\n"
    "  --fullscreen, --window  start fullscreen (the default) or in a window\n"
    "The same settings, as 'name = value' lines (music-volume, effects-volume,\n"
    "gentle, steady-colours, soundfont, fullscreen, focus-pause; yes or no for the\n"
    "switches), are read from $XDG_CONFIG_HOME/kestrava/kestrava.conf, else\n"
    "~/.config/kestrava/kestrava.conf; the command line overrides them. The game\n"
    "writes only that file's fullscreen line, when Alt+Enter changes the mode.\n"
    "Keys: UP thrust, DOWN brake, LEFT and RIGHT turn, SPACE fire, RETURN start,\n"
    "P or Pause pause, ESC quit, Alt+Enter window or fullscreen, F12 screenshot.\n"
    "Losing the window's focus pauses too. Game controllers play as well: D-pad or\n"
    "left stick, A fire, B brake, Start; Back held for a second quits.\n";

static int usage_error(const std::string& what)
{
    std::fprintf(stderr, "kestrava: %s (see --help)\n", what.c_str());
    return 2;
}

// The player's settings on the command line, as the file's `name = value`:
// 1 when argv[i] was one (i moved past its value), 0 when it is none, -1 after
// a usage error.
static int settings_option(int argc, char** argv, int& i, std::vector<std::pair<std::string, std::string>>& chosen)
{
    const std::string a = argv[i];
    if (a == "--gentle" || a == "--steady-colours") {
        chosen.emplace_back(a.substr(2), "yes");
    } else if (a == "--no-focus-pause") {
        chosen.emplace_back("focus-pause", "no");
    } else if (a == "--fullscreen" || a == "--window") {
        chosen.emplace_back("fullscreen", a == "--fullscreen" ? "yes" : "no");
    } else if (a == "--music-volume" || a == "--effects-volume" || a == "--soundfont") {
        Settings check;
        if (i + 1 >= argc || !settings_set(check, a.substr(2), argv[i + 1])) {
            usage_error(a + (a == "--soundfont" ? " takes a file name" : " takes a whole number from 0 to 100"));
            return -1;
        }
        chosen.emplace_back(a.substr(2), argv[++i]);
    } else {
        return 0;
    }
    return 1;
}

static bool holds_data(const std::string& folder)
{
    return access((folder + "/" + data_file_name(DATA_SPLASH)).c_str(), R_OK) == 0;
}

// The installed data: beside the program as installed, wherever the
// installation was moved to, else where the build meant to install it. When
// none holds it, `looked` names every folder tried, the data folder first.
static std::string installed_data_folder(const std::string& data_folder, std::string& looked)
{
    std::vector<std::string> folders;
    char here[4096];
    folders.emplace_back(data_folder != "." ? data_folder : getcwd(here, sizeof here) ? here : ".");
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        const std::string path(exe, static_cast<size_t>(n));
        folders.push_back(path.substr(0, path.rfind('/') + 1) + KESTRAVA_DATA_FROM_BIN);
    }
    folders.emplace_back(KESTRAVA_INSTALL_DATA_DIR);
    for (size_t i = 1; i < folders.size(); ++i) {
        if (holds_data(folders[i])) return folders[i];
    }
    for (size_t i = 0; i < folders.size(); ++i)
        looked += (i == 0 ? "" : i + 1 == folders.size() ? " or " : ", ") + folders[i];
    return "";
}

static bool is_folder(const char* path)
{
    struct stat st {};
    errno = 0;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int main(int argc, char** argv)
{
    const char* record_path = nullptr;
    const char* play_path = nullptr;
    std::vector<std::pair<std::string, std::string>> chosen;
    const char* data_folder = nullptr;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (const int taken = settings_option(argc, argv, i, chosen)) {
            if (taken < 0) return 2;
        } else if (a == "--help" || a == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("kestrava %s\n", KESTRAVA_VERSION);
            return 0;
        } else if (a == "--data") {
            if (i + 1 >= argc) return usage_error("--data takes a folder");
            data_folder = argv[++i];
        } else if (a == "--check-data") {
            check = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') data_folder = argv[++i];
        } else if (a == "--record" || a == "--play") {
            if (i + 1 >= argc) return usage_error(a + " takes a file name");
            (a == "--record" ? record_path : play_path) = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usage_error("unknown option '" + a + "'");
        } else {
            return usage_error("unexpected argument '" + a + "'");
        }
    }
    if (record_path && play_path) return usage_error("--record and --play cannot be used together");
    if (check && (record_path || play_path)) return usage_error("--check-data plays nothing");
    if (data_folder && !is_folder(data_folder))
        return usage_error(std::string(data_folder) + ": " + (errno ? std::strerror(errno) : "not a folder"));
    const std::string data_dir = data_folder ? data_folder : ".";
    std::string looked_in;
    const std::string installed = installed_data_folder(data_dir, looked_in);
    data_set_folders(data_dir, installed);
    if (check) return check_data(stdout);

    // Both files are named from where the player started the game, before it
    // moves to its data folder.
    static char record_buffer[1 << 16];
    std::FILE* record = nullptr;
    if (record_path) {
        // An earlier recording is never replaced: the player removes it first.
        record = std::fopen(record_path, "wx");
        if (!record && errno == EEXIST) {
            return usage_error(std::string(record_path) + ": already exists; a recording is not written over another");
        }
        if (!record) return usage_error(std::string(record_path) + ": " + std::strerror(errno));
        std::setvbuf(record, record_buffer, _IOFBF, sizeof record_buffer);
        keyboard_record(record);
    }
    if (play_path) {
        std::vector<uint8_t> frames;
        KeyScriptError bad;
        if (!keyscript_load(play_path, frames, bad)) {
            if (bad.line == 0) return usage_error(std::string(play_path) + ": " + std::strerror(errno));
            std::fprintf(stderr, "kestrava: %s:%d: %s\n", play_path, bad.line, keyscript_fault_text(bad).c_str());
            return 2;
        }
        keyboard_play(frames);
    }
    // The file first, then the command line over it.
    Settings settings;
    const std::string settings_file = settings_path();
    settings_load(settings_file, settings);
    for (const auto& [name, value] : chosen) settings_set(settings, name, value);
    shell_use_settings(settings, settings_file);

    int code = 1;
    if (installed.empty() && !holds_data(data_dir)) {
        std::fprintf(stderr, "kestrava: %s: %s in %s\n", data_file_name(DATA_SPLASH), std::strerror(ENOENT),
                     looked_in.c_str());
    } else if (startup_all()) {
        code = main_loop();
    } else {
        const char* why = report_text();
        std::fprintf(stderr, "kestrava: %s\n", why[0] ? why : "start-up failed");
    }
    shutdown_all();
    if (record) {
        const int written = keyboard_go_live();
        if (std::fclose(record) != 0 || written == 0) {
            std::fprintf(stderr, "kestrava: %s: the recording could not be written whole\n", record_path);
            if (code == 0) code = 1;
        } else if (written == 2) {
            std::fprintf(stderr, "kestrava: %s: the recording holds the run's first %zu frames (24 hours), the "
                         "longest script the game plays\n", record_path, KEYSCRIPT_MAX_LINES);
        }
    }
    return code;
}
