// kestrava: the game. Its data files are read from the data folder (the
// working directory, or the one --data names); a file missing there is taken
// from the working directory when it holds the game's data, then from the
// installed data folder next to the program (../share/games/kestrava from its
// games/), so that the game starts from a desktop menu and a mod folder need
// hold only the files a player replaced.
//
//   kestrava [--data DIR] [--record FILE | --play FILE] [the player's settings]
//   kestrava --check-data [DIR] [--verbose]
//   kestrava [--data DIR] --import PICTURE NAME.bmp
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/data_files.h"
#include "base/report.h"
#include "input/keyboard.h"
#include "input/keyscript.h"
#include "shell/best_runs.h"
#include "shell/check_data.h"
#include "shell/import.h"
#include "shell/options.h"
#include "shell/runs.h"
#include "shell/shell.h"

static const char USAGE[] =
    "usage: kestrava [--data DIR] [--record FILE | --play FILE | --watch N] [SETTINGS]\n"
    "       kestrava --check-data [DIR] [--verbose]\n"
    "       kestrava [--data DIR] --import PICTURE NAME.bmp\n"
    "       kestrava --best\n"
    "Fly around a burning star, shoot the asteroids and rescue the astronaut.\n"
    "  --data DIR        read the data files from DIR; a file missing there comes\n"
    "                    from the working directory when it holds the game's\n"
    "                    data, else from the installed data\n"
    "  --check-data [DIR]  say for each data file where it comes from, its format\n"
    "                    and what the game makes of it; exit 0 when the game\n"
    "                    would start on them, 1 when not; it also names the\n"
    "                    folder's files the game does not read, and counts the\n"
    "                    images whose palette is not the splash's\n"
    "  --verbose         with --check-data: where each image's palette differs\n"
    "  --import PICTURE NAME.bmp  make the game's image NAME.bmp (never over an\n"
    "                    existing file) from a PNG or BMP of the size the game\n"
    "                    cuts it from, in the palette of the splash the game\n"
    "                    would use: each pixel the nearest colour, a fully\n"
    "                    transparent one (or a palette BMP's index 0) see-through\n"
    "  --record FILE     play, and write the run to FILE as a key script (FILE must\n"
    "                    not exist yet, and is removed when the game cannot start;\n"
    "                    at most 24 hours of play)\n"
    "  --play FILE       play a key script back in the window; ESC quits\n"
    "  --help            show this and exit\n"
    "  --version         show the version and exit\n"
    "Settings:\n"
    "  --music-volume N    music volume, 0 (silence) to 100 (the default)\n"
    "  --effects-volume N  sound effects volume, 0 to 100 (the default)\n"
    "  --busy-clock        wait out each frame busily, not asleep (a whole core\n"
    "                      for the game; late frames on a machine doing other\n"
    "                      work); --gentle asks for the default sleeping clock\n"
    "  --integer-scale     scale the picture by whole numbers only, black bars\n"
    "                      around (by default it fills the screen as far as 4:3\n"
    "                      allows, smoothed past the largest whole multiple)\n"
    "  --steady-colours    flashing texts keep each colour for half a second,\n"
    "                      none of them dark\n"
    "  --soundfont PATH    the General MIDI soundfont to try first (then those\n"
    "                      of SDL_SOUNDFONTS, colon-separated, then the system's)\n"
    "  --no-focus-pause    play on when the window loses the keyboard's focus\n"
    "  --no-splash-wait    go on from the splash at once instead of after 4 seconds\n"
    "  --no-best-runs      keep no best runs and show no table\n"
    "  --fullscreen, --window  start fullscreen (the default) or in a window, the\n"
    "                      largest whole multiple of 640 x 480 the desktop holds\n"
    "An option's value may also be given as --name=value; a value that begins\n"
    "with -- only so (--record=./--window).\n"
    "The same settings, as 'name = value' lines (music-volume, effects-volume,\n"
    "busy-clock, integer-scale, steady-colours, soundfont, fullscreen, focus-pause,\n"
    "splash-wait, best-runs; yes or no for the switches; gentle = yes is the\n"
    "default clock),\n"
    "are read from $XDG_CONFIG_HOME/kestrava/kestrava.conf, else\n"
    "~/.config/kestrava/kestrava.conf; the command line overrides them. A # at a\n"
    "line's start or after a space starts a comment; a value holding ' #' is\n"
    "written in double quotes. The game writes only that file's fullscreen value,\n"
    "when Alt+Enter changes the mode, and never a read-only or hard-linked file.\n"
    "Keys: UP thrust, DOWN brake, LEFT and RIGHT turn, SPACE fire, RETURN start,\n"
    "P or Pause pause, F1 the keys, F2 the best runs, ESC quit, Alt+Enter window or\n"
    "fullscreen, F12 screenshot. Losing the window's focus pauses too. Game controllers play\n"
    "as well: D-pad or left stick, A fire, B brake, Start; Back held for a second\n"
    "quits. In the browser's page (scripts/web) F9 downloads the sitting's key\n"
    "script, from the page's opening, and F12 the picture.\n"
    "Best runs: every game the player plays (not --play) is kept as the sitting's\n"
    "keys from start-up; a game that ends (game over, or ESC) among the ten best\n"
    "is saved in $XDG_DATA_HOME/kestrava/runs (else ~/.local/share/kestrava/runs)\n"
    "with its claim (score, level, the frame it ended, date, version) on its first\n"
    "line, and replayed in the frames' spare time: only a run whose replay reaches\n"
    "its claim is ranked. The game deletes none but its own runs beyond the ten.\n"
    "  --best            print the table (replaying runs not yet checked) and exit\n"
    "  --watch N         play the run ranked N as --play does\n"
    "  --keep-played-runs  with --play, keep the script's games as if played (for\n"
    "                    tests of the best runs)\n";

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
    if (a == "--gentle" || a == "--steady-colours" || a == "--busy-clock" || a == "--integer-scale") {
        chosen.emplace_back(a.substr(2), "yes");
        return 1;
    }
    if (a == "--no-focus-pause" || a == "--no-splash-wait" || a == "--no-best-runs") {
        chosen.emplace_back(a.substr(5), "no");
        return 1;
    }
    if (a == "--fullscreen" || a == "--window") {
        chosen.emplace_back("fullscreen", a == "--fullscreen" ? "yes" : "no");
        return 1;
    }
    for (const char* name : {"music-volume", "effects-volume", "soundfont"}) {
        const std::string option = std::string("--") + name;
        const char* value = nullptr;
        std::string why;
        Settings check;
        switch (option_value(argc, argv, i, option, settings_values(name), value, why)) {
        case OPTION_OTHER: continue;
        case OPTION_REFUSED: return usage_error(why), -1;
        case OPTION_TAKEN: break;
        }
        if (!settings_set(check, name, value)) return usage_error(why), -1;
        chosen.emplace_back(name, value);
        return 1;
    }
    return 0;
}

static bool holds_data(const std::string& folder)
{
    return access((folder + "/" + data_file_name(DATA_SPLASH)).c_str(), R_OK) == 0;
}

static bool same_folder(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// "a, b or c", the working directory by its path.
static std::string folder_list(const std::vector<DataFolder>& folders)
{
    char here[4096];
    const std::string cwd = getcwd(here, sizeof here) ? here : ".";
    std::string list;
    for (size_t i = 0; i < folders.size(); ++i) {
        list += i == 0 ? "" : i + 1 == folders.size() ? " or " : ", ";
        list += folders[i].path == "." ? cwd : folders[i].path;
    }
    return list;
}

// The folders each data file is looked for in, in order: the data folder;
// behind a --data folder, the working directory when it holds the game's
// data (a mod tried out in the build's data folder); then the installed data:
// beside the program as installed, wherever the installation was moved to,
// else where the build meant to install it. `looked` names every folder
// tried, for the message when none holds the data.
static std::vector<DataFolder> data_folder_chain(const char* data_folder, std::string& looked)
{
    std::vector<DataFolder> tried{{data_folder ? data_folder : ".", DATA_FROM_FOLDER}};
    if (data_folder) tried.push_back({".", DATA_FROM_WORKDIR});
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        const std::string path(exe, static_cast<size_t>(n));
        tried.push_back({path.substr(0, path.rfind('/') + 1) + KESTRAVA_DATA_FROM_BIN, DATA_FROM_INSTALLED});
    }
    tried.push_back({KESTRAVA_INSTALL_DATA_DIR, DATA_FROM_INSTALLED});

    std::vector<DataFolder> chain{tried.front()};
    bool have_installed = false;
    for (size_t i = 1; i < tried.size(); ++i) {
        const DataFolder& folder = tried[i];
        if ((folder.origin == DATA_FROM_INSTALLED && have_installed) || !holds_data(folder.path)) continue;
        bool again = false;
        for (const DataFolder& earlier : chain) again = again || same_folder(earlier.path, folder.path);
        if (again) continue;
        chain.push_back(folder);
        have_installed = have_installed || folder.origin == DATA_FROM_INSTALLED;
    }
    looked = folder_list(tried);
    return chain;
}

// Every data file is there and can be read before the splash shows, so that
// a missing one is told at once rather than after it; the files are decoded
// later, in the game's order. Each fault is one line, a missing file's naming
// the folders that hold the game's data, or all tried when none does; with
// no data at all, the first file's line says it.
static bool data_files_readable(const std::string& tried)
{
    const std::string looked_in = data_folders().size() > 1 ? folder_list(data_folders()) : tried;
    std::vector<std::string> faults;
    int missing = 0;
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        const int fd = open(data_path(file), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        const int fault = fd < 0 ? errno : fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
        if (fd >= 0) close(fd);
        missing += fault == ENOENT;
        if (fault == ENOENT) {
            faults.push_back(std::string(data_file_name(file)) + ": " + std::strerror(fault) + " in " + looked_in);
        } else if (fault) {
            faults.push_back(std::string(data_path(file)) + ": " + std::strerror(fault));
        }
    }
    if (missing == DATA_FILE_COUNT) faults.resize(1);
    for (const std::string& fault : faults) std::fprintf(stderr, "kestrava: %s\n", fault.c_str());
    return faults.empty();
}

// --watch N: 1 when argv[i] was it (i moved past its rank), 0 when it is
// not, -1 after a usage error.
static int watch_option(int argc, char** argv, int& i, int& rank)
{
    const char* value = nullptr;
    std::string why;
    const char* takes = "a rank from 1 to 10";
    switch (option_value(argc, argv, i, "--watch", takes, value, why)) {
    case OPTION_OTHER: return 0;
    case OPTION_REFUSED: return usage_error(why), -1;
    case OPTION_TAKEN: break;
    }
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || n < 1 || n > static_cast<long>(BEST_RUNS)) {
        return usage_error(std::string("--watch takes ") + takes), -1;
    }
    rank = static_cast<int>(n);
    return 1;
}

// The table as it stands, every run not yet replayed for this version
// replayed first.
static int print_best_runs()
{
    const std::string folder = runs_default_folder();
    RunTable table;
    std::string why;
    if (!folder.empty() && access(folder.c_str(), F_OK) == 0) {
        runs_check_unchecked(folder);
        if (!runs_read_table(folder, table, &why)) {
            std::fprintf(stderr, "kestrava: best runs: %s\n", why.c_str());
            return 1;
        }
    }
    for (const std::string& line : runs_table_lines(table)) std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The file of the ranked run `rank`, or null after a message.
static const char* watched_run(int rank, std::string& path)
{
    const std::string folder = runs_default_folder();
    RunTable table;
    std::string why;
    if (!runs_read_table(folder, table, &why) || static_cast<size_t>(rank) > table.ranked.size()) {
        std::fprintf(stderr, "kestrava: best runs: no run ranked %d (see --best)\n", rank);
        return nullptr;
    }
    path = folder + "/" + table.ranked[static_cast<size_t>(rank - 1)].name;
    return path.c_str();
}

static bool is_folder(const char* path)
{
    struct stat st {};
    errno = 0;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The options that name a file or folder: 1 when argv[i] was one, 0 when it
// is none, -1 after a usage error.
static int path_option(int argc, char** argv, int& i, const char*& data_folder, const char*& record_path,
                       const char*& play_path)
{
    const struct {
        const char* name;
        const char* takes;
        const char*& path;
    } options[] = {{"--data", "a folder", data_folder},
                   {"--record", "a file name", record_path},
                   {"--play", "a file name", play_path}};
    for (const auto& option : options) {
        std::string why;
        switch (option_value(argc, argv, i, option.name, option.takes, option.path, why)) {
        case OPTION_OTHER: continue;
        case OPTION_REFUSED: return usage_error(why), -1;
        case OPTION_TAKEN: return 1;
        }
    }
    return 0;
}

// --import PICTURE IMAGE (or --import=PICTURE IMAGE): 1 when argv[i] was it,
// 0 when it is not, -1 after a usage error.
static int import_option(int argc, char** argv, int& i, const char*& picture, const char*& image)
{
    const char* takes = "a picture and the image's name";
    std::string why;
    switch (option_value(argc, argv, i, "--import", takes, picture, why)) {
    case OPTION_OTHER: return 0;
    case OPTION_REFUSED: return usage_error(why), -1;
    case OPTION_TAKEN: break;
    }
    if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--"))
        return usage_error(std::string("--import takes ") + takes), -1;
    image = argv[++i];
    return 1;
}

int main(int argc, char** argv)
{
    const char* record_path = nullptr;
    const char* play_path = nullptr;
    std::vector<std::pair<std::string, std::string>> chosen;
    const char* data_folder = nullptr;
    bool check = false;
    bool verbose = false;
    const char* import_from = nullptr;
    const char* import_to = nullptr;
    bool best = false;
    bool keep_played = false;
    int watch = 0;
    std::string watch_path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        int taken = settings_option(argc, argv, i, chosen);
        if (taken == 0) taken = path_option(argc, argv, i, data_folder, record_path, play_path);
        if (taken < 0) return 2;
        if (taken > 0) continue;
        if (a == "--help" || a == "-h") {
            std::fputs(USAGE, stdout);
            return stdout_finished("kestrava");
        } else if (a == "--version") {
            std::printf("kestrava %s\n", KESTRAVA_VERSION);
            return stdout_finished("kestrava");
        } else if (a == "--check-data") {
            check = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') data_folder = argv[++i];
        } else if (a.starts_with("--check-data=")) {
            check = true;
            data_folder = argv[i] + a.find('=') + 1;
        } else if (a == "--verbose") {
            verbose = true;
        } else if (const int picture = import_option(argc, argv, i, import_from, import_to)) {
            if (picture < 0) return 2;
        } else if (a == "--best") {
            best = true;
        } else if (a == "--keep-played-runs") {
            keep_played = true;
        } else if (const int ranked = watch_option(argc, argv, i, watch)) {
            if (ranked < 0) return 2;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage_error("unknown option '" + shown_text(a) + "'");
        } else {
            return usage_error("unexpected argument '" + shown_text(a) + "'");
        }
    }
    if (record_path && play_path) return usage_error("--record and --play cannot be used together");
    if ((check || import_from) && (record_path || play_path))
        return usage_error(std::string(check ? "--check-data" : "--import") + " plays nothing");
    if (check && import_from) return usage_error("--check-data and --import cannot be used together");
    if (verbose && !check) return usage_error("--verbose is for --check-data");
    if (watch && (record_path || play_path)) return usage_error("--watch plays a run; --record and --play go alone");
    if (best) return print_best_runs();
    if (watch && !(play_path = watched_run(watch, watch_path))) return 1;
    if (data_folder && !is_folder(data_folder))
        return usage_error(std::string(data_folder) + ": " + (errno ? std::strerror(errno) : "not a folder"));
    std::string looked_in;
    data_set_folders(data_folder_chain(data_folder, looked_in));
    if (check || import_from) {
        const int verdict = check ? check_data(stdout, verbose) : import_picture(import_from, import_to, stdout);
        return stdout_finished("kestrava") ? 1 : verdict;
    }

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
    // A run played back is no sitting of the player's, unless a test says so.
    if (settings.best_runs && (!play_path || (keep_played && !watch))) best_runs_start(runs_default_folder());

    int code = 1;
    bool started = false;
    if (data_files_readable(looked_in)) {
        const int start = startup_all();
        started = start == 1;
        if (started) {
            code = main_loop();
        } else if (start == STARTUP_QUIT) {
            code = 0;
        } else {
            const char* why = report_text();
            std::fprintf(stderr, "kestrava: %s\n", why[0] ? why : "start-up failed");
        }
    }
    shutdown_all();
    if (record && !started) {
        // No run, no recording: an empty file left behind would only refuse
        // the next --record of that name.
        std::fclose(record);
        std::remove(record_path);
    } else if (record) {
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
