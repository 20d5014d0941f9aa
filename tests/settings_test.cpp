// The player's settings file: a bad line is one warning and the rest applies,
// Alt+Enter's choice changes the fullscreen line alone and replaces the file
// whole, and the SDL_SOUNDFONTS list keeps its bounds. And a recording never
// replaces an earlier one.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "shell/settings.h"
#include "support/env.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

TEST(Settings, ABadLineIsOneWarningAndTheRestApplies)
{
    const std::string text =
        "# mine\n"
        "music-volume = 40\n"
        "effects-volume = 101\n"  // out of range: the default stays
        "gentle=yes\n"
        "colours = calm\n"
        "just words\n"
        "  steady-colours =  on  \r\n"
        "focus-pause = no\n"
        "soundfont = /fonts/a.sf2\n"
        "music-volume = -1\n";
    Settings s;
    std::vector<SettingsProblem> problems;
    settings_parse(text, s, problems);
    EXPECT_EQ(std::tuple(s.music_volume, s.effects_volume, s.gentle, s.steady_colours, s.focus_pause, s.fullscreen,
                         s.soundfont),
              std::tuple(40, 100, true, true, false, true, std::string("/fonts/a.sf2")));
    std::vector<int> lines;
    for (const SettingsProblem& p : problems) lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<int>{3, 5, 6, 10}));

    TempDir dir;
    const std::string path = dir.write("kestrava.conf", text);
    Settings loaded;
    testing::internal::CaptureStderr();
    settings_load(path, loaded);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::tuple(count_lines(said), said.find("kestrava: " + path + ":5: 'colours'") != std::string::npos,
                         loaded.music_volume),
              std::tuple(4, true, 40)) << said;
}

TEST(Settings, TheFullscreenChoiceChangesItsLineAloneAndReplacesTheFileWhole)
{
    EXPECT_EQ(settings_with_fullscreen("# a\r\nfullscreen = yes\r\ngentle = yes", false),
              "# a\r\nfullscreen = no\r\ngentle = yes");
    EXPECT_EQ(settings_with_fullscreen("gentle = yes", false), "gentle = yes\nfullscreen = no\n");
    EXPECT_EQ(settings_with_fullscreen("", true), "fullscreen = yes\n");

    TempDir dir;
    ScopedEnv env;
    env.set("XDG_CONFIG_HOME", dir.file("config"));
    const std::string path = settings_path();
    ASSERT_EQ(path, dir.file("config") + "/kestrava/kestrava.conf");
    // No file and no folder yet: both are made.
    ASSERT_TRUE(settings_save_fullscreen(path, false));
    EXPECT_EQ(file_text(path), "fullscreen = no\n");

    const std::string mine = "# my settings\n  FullScreen = yes\nmusic-volume = 3   # quiet\n\nfullscreen=no\n";
    dir.write("config/kestrava/kestrava.conf", mine);
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(settings_save_fullscreen(path, true));
    EXPECT_EQ(file_text(path), "# my settings\n  FullScreen = yes\nmusic-volume = 3   # quiet\n\nfullscreen = yes\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.file("config/kestrava"))) files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "nothing is left beside the file";

    // A file the game cannot read whole is left alone.
    dir.write("config/kestrava/kestrava.conf", std::string(SETTINGS_FILE_LIMIT + 1, '#'));
    testing::internal::CaptureStderr();
    EXPECT_EQ((std::tuple{settings_save_fullscreen(path, false), count_lines(testing::internal::GetCapturedStderr()),
                         file_text(path).size()}),
              std::tuple(false, 1, SETTINGS_FILE_LIMIT + 1));

    env.unset("XDG_CONFIG_HOME");
    env.set("HOME", "/home/player");
    EXPECT_EQ(settings_path(), "/home/player/.config/kestrava/kestrava.conf");
}

TEST(Settings, TheSoundfontListKeepsItsBounds)
{
    EXPECT_EQ(soundfont_list("a.sf2::/b c.sf2:"), (std::vector<std::string>{"a.sf2", "/b c.sf2"}));
    std::string many;
    for (int i = 0; i < 40; ++i) many.append("f").append(std::to_string(i)).append(":");
    EXPECT_EQ(soundfont_list(many).size(), SOUNDFONT_LIST_LIMIT);
    const std::string long_path(SOUNDFONT_PATH_LIMIT + 1, 'x');
    EXPECT_EQ(soundfont_list(long_path + ":ok"), (std::vector<std::string>{"ok"}));
}

TEST(Settings, ARecordingIsNeverWrittenOverAnother)
{
    TempDir dir;
    const std::string earlier = dir.write("run.keys", "UP\nUP\n");
    const Ended r = run_program({KESTRAVA_GAME, "--record", earlier});
    EXPECT_EQ(std::tuple(r.status, count_lines(r.err), r.err.find(earlier) != std::string::npos, file_text(earlier)),
              std::tuple(2, 1, true, std::string("UP\nUP\n"))) << r.err;
}

}  // namespace
