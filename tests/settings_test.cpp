// The player's settings file: a bad line is one warning saying what is wrong
// and the rest applies; Alt+Enter's choice changes the fullscreen value alone,
// in the file a link names, and never a file the player keeps read-only,
// hard-linked, or one the reader would refuse; the SDL_SOUNDFONTS list says
// what it leaves out. And the game's own outputs never take the place of
// what the player made.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "base/file.h"
#include "shell/settings.h"
#include "support/env.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

TEST(Settings, ABadLineIsOneWarningSayingWhatIsWrongAndTheRestApplies)
{
    constexpr char raw_bytes[] = "col\x1b[31mours\0 = 1\n";
    const std::string text =
        "\xEF\xBB\xBF# mine\n"
        "music-volume = 40 # quieter\n"
        "effects-volume = 101\n"  // out of range: the default stays
        "busy-clock = yes\n"
        "gentle=YES\n"  // the older name of the default clock
        "colours = calm\n"
        "just words\n"
        "  steady-colours =  On  \r\n"
        "integer-scale = yes\n"
        "focus-pause = No\n"
        "soundfont = \"/fonts/a #1.sf2\" # the GM font\n"
        "music-volume = -1\n"
        "splash-wait = no\n"
        "fullscreen = \"no\n" +
        std::string(raw_bytes, sizeof raw_bytes - 1);
    Settings s;
    std::vector<SettingsProblem> problems;
    settings_parse(text, s, problems);
    EXPECT_EQ(std::tuple(s.music_volume, s.effects_volume, s.busy_clock, s.integer_scale, s.steady_colours,
                         s.focus_pause, s.fullscreen, s.splash_wait, s.soundfont),
              std::tuple(40, 100, false, true, true, false, true, false, std::string("/fonts/a #1.sf2")));
    std::vector<std::pair<int, std::string>> said;
    for (const SettingsProblem& p : problems) said.emplace_back(p.line, p.what.substr(0, p.what.find(" (")));
    EXPECT_EQ(said, (std::vector<std::pair<int, std::string>>{
                        {3, "effects-volume: the value '101' is not understood; it takes a whole number from 0 to 100"},
                        {6, "'colours' is not a setting"},
                        {7, "not a 'name = value' line"},
                        {12, "music-volume: the value '-1' is not understood; it takes a whole number from 0 to 100"},
                        {14, "fullscreen: the value's closing quote is missing"},
                        {15, "'col\\x1b[31mours\\x00' is not a setting"}}));

    TempDir dir;
    const std::string path = dir.write("kestrava.conf", text);
    Settings loaded;
    testing::internal::CaptureStderr();
    settings_load(path, loaded);
    const std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::tuple(count_lines(warned), warned.find("kestrava: " + path + ":6: 'colours'") != std::string::npos,
                         loaded.music_volume),
              std::tuple(6, true, 40)) << warned;
}

TEST(Settings, TheFullscreenChoiceChangesItsValueAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"# a\r\nfullscreen = yes\r\ngentle = yes", "# a\r\nfullscreen = no\r\ngentle = yes"},
        {"gentle = yes", "gentle = yes\nfullscreen = no\n"},
        {"gentle = yes\r\n", "gentle = yes\r\nfullscreen = no\r\n"},
        {"", "fullscreen = no\n"},
        {"\t fullscreen\t=  \"yes\"   # my choice\nx=1", "\t fullscreen\t=  no   # my choice\nx=1"},
        {"\xEF\xBB\xBF""fullscreen # no value\n", "\xEF\xBB\xBF""fullscreen = no # no value\n"},
        {"fullscreen = # empty\r\n", "fullscreen = no # empty\r\n"},
    };
    for (const auto& [before, after] : cases) EXPECT_EQ(settings_with_fullscreen(before, false), after) << before;
}

// The fullscreen choice saved into a file made as each case says: what the
// file then holds, and the one warning when it is left alone.
TEST(Settings, TheRewriteKeepsTheFileThePlayers)
{
    TempDir dir;
    const std::string folder = dir.file("config/kestrava"), path = folder + "/kestrava.conf";
    const std::string mine = "# mine\r\n  fullscreen = yes # big\r\n";
    const std::string theirs = "# mine\r\n  fullscreen = no # big\r\n";
    const std::string full(SETTINGS_FILE_LIMIT - 6, '#');  // loads, but not with a line added
    auto failing = [](int) { return errno = EIO, -1; };
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string warning;  // "" when the choice is kept
        std::string kept;     // what the player's file then holds
        std::string file = {};  // where that file is; the settings path when empty
    };
    const Case cases[] = {
        {"no file nor folder yet", [] {}, "", "fullscreen = no\n"},
        {"a plain file", [&] { dir.write("config/kestrava/kestrava.conf", mine); }, "", theirs},
        {"a link to the player's dotfiles, mode 0640, owner and group 1",
         [&] {
             const std::string dotfiles = dir.write("dotfiles.conf", mine);
             fs::create_symlink("../../dotfiles.conf", path);
             EXPECT_EQ(chmod(dotfiles.c_str(), 0640) + chown(dotfiles.c_str(), 1, 1), 0);
         },
         "", theirs, dir.file("dotfiles.conf")},
        {"a dangling link", [&] { fs::create_symlink(dir.file("new.conf"), path); }, "", "fullscreen = no\n",
         dir.file("new.conf")},
        {"read-only", [&] { dir.write("config/kestrava/kestrava.conf", mine), chmod(path.c_str(), 0444); },
         "the file is read-only", mine},
        {"hard-linked", [&] { dir.write("config/kestrava/kestrava.conf", mine), fs::create_hard_link(path, dir.file("b")); },
         "it has other hard links", mine},
        {"too large with the line", [&] { dir.write("config/kestrava/kestrava.conf", full); },
         "the file would grow past", full},
        {"fsync fails", [&] { dir.write("config/kestrava/kestrava.conf", mine), file_sync_calls.fsync = failing; },
         "syncing: Input/output error", mine},
        {"close fails", [&] { dir.write("config/kestrava/kestrava.conf", mine), file_sync_calls.close = failing; },
         "closing: Input/output error", mine},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir.file("config")), fs::create_directories(folder);
        c.make();
        testing::internal::CaptureStderr();
        const bool kept = settings_save_fullscreen(path, false);
        const std::string warned = testing::internal::GetCapturedStderr();
        file_sync_calls = {::fsync, ::close};
        EXPECT_EQ(std::tuple(kept, count_lines(warned), warned.find(c.warning) != std::string::npos),
                  std::tuple(c.warning.empty(), c.warning.empty() ? 0 : 1, true)) << c.name << ": " << warned;
        EXPECT_TRUE(file_text(c.file.empty() ? path : c.file) == c.kept) << c.name;
        int files = 0;
        for (const auto& e : fs::directory_iterator(folder)) files += e.is_regular_file() || e.is_symlink();
        EXPECT_EQ(files, 1) << c.name << ": nothing is left beside the file";
    }
    struct stat st{};
    ASSERT_EQ(stat(dir.file("dotfiles.conf").c_str(), &st), 0);
    EXPECT_EQ(std::tuple(st.st_mode & 07777, st.st_uid, st.st_gid), std::tuple(0640u, 1u, 1u)) << "the player's still";

    testing::internal::CaptureStderr();
    EXPECT_FALSE(settings_save_fullscreen("", true)) << "neither HOME nor XDG_CONFIG_HOME";
    EXPECT_EQ(count_lines(testing::internal::GetCapturedStderr()), 1);
    ScopedEnv env;
    env.unset("XDG_CONFIG_HOME");
    env.set("HOME", "/home/player");
    EXPECT_EQ(settings_path(), "/home/player/.config/kestrava/kestrava.conf");
    env.unset("HOME");
    EXPECT_EQ(settings_path(), "");
}

TEST(Settings, TheSoundfontListKeepsItsBoundsAndSaysWhatItLeftOut)
{
    std::vector<std::string> unused;
    EXPECT_EQ(soundfont_list("a.sf2::/b c.sf2:", &unused), (std::vector<std::string>{"a.sf2", "/b c.sf2"}));
    std::string many;
    for (int i = 0; i < 40; ++i) many.append("f").append(std::to_string(i)).append(":");
    EXPECT_EQ(soundfont_list(many, &unused).size(), SOUNDFONT_LIST_LIMIT);
    const std::string long_path(SOUNDFONT_PATH_LIMIT + 1, 'x');
    EXPECT_EQ(soundfont_list(long_path + ":ok", &unused), (std::vector<std::string>{"ok"}));
    EXPECT_EQ(unused, (std::vector<std::string>{"entries past the sixteenth are not used",
                                                "a path of 4097 bytes is not used (at most 4096)"}));
}

// The game's command lines that write or refuse: what they say, their status,
// and what is left of the player's files.
TEST(Outputs, TheGameNeverTakesThePlaceOfThePlayersFiles)
{
    TempDir dir;
    const std::string game = KESTRAVA_GAME, earlier = dir.write("run.keys", "UP\nUP\n");
    fs::create_directory(dir.file("empty"));
    const std::string no_data = " --data " + dir.file("empty");
    struct Case {
        std::string command;  // run by sh in the folder
        int status;
        std::string said;  // the one line on standard error starts so
    };
    const Case cases[] = {
        {game + " --record run.keys", 2, "kestrava: run.keys: already exists"},
        {game + " --record new.keys" + no_data, 1, "kestrava: splash.bmp: No such file"},
        {game + " --record=./--window" + no_data, 1, "kestrava: splash.bmp: No such file"},
        {game + " --record --window", 2, "kestrava: --record takes a file name, not the option '--window' (one of "
                                         "that name is written --record=./--window)"},
        {game + " --music-volume=50 --effects-volume=7 --check-data=" + KESTRAVA_DATA_DIR + " >/dev/null", 0, ""},
        {game + " --music-volume=101", 2, "kestrava: --music-volume takes a whole number from 0 to 100"},
        {game + " --soundfont=$(printf %05000d 0)", 2, "kestrava: --soundfont takes a file name of at most 4096"},
        {game + " --check-data " + KESTRAVA_DATA_DIR + " >/dev/full", 1, "kestrava: standard output: No space left on device"},
        {game + " --help >/dev/full", 1, "kestrava: standard output: No space left on device"},
        {game + " --version >/dev/full", 1, "kestrava: standard output: No space left on device"},
    };
    for (const Case& c : cases) {
        const Ended r = run_program({"/bin/sh", "-c", c.command}, dir.dir);
        EXPECT_EQ(std::tuple(r.status, count_lines(r.err), r.err.rfind(c.said, 0)),
                  std::tuple(c.status, c.said.empty() ? 0 : 1, 0u)) << c.command << "\n" << r.err;
    }
    EXPECT_EQ(file_text(earlier), "UP\nUP\n");
    EXPECT_FALSE(fs::exists(dir.file("new.keys")) || fs::exists(dir.file("--window"))) << "a failed start records nothing";
}

}  // namespace
