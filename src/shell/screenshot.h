// Screenshots: the picture on screen, 640 x 480 with its palette, as a PNG in
// the player's pictures folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/platform.h"

// The pictures folder a user-dirs.dirs file names, with `home` for $HOME;
// "" when it names none.
std::string user_dirs_pictures(const std::string& text, const std::string& home);
// Where screenshots go: the pictures folder of user-dirs.dirs (in
// $XDG_CONFIG_HOME, else ~/.config), else $XDG_PICTURES_DIR, else the home
// folder; the first of them that is a folder. "" when there is none.
std::string screenshot_folder();
// kestrava-YYYYMMDD-HHMMSS.png; from the second picture of one second on,
// kestrava-YYYYMMDD-HHMMSS-<serial>.png.
std::string screenshot_name(const std::tm& local, int serial);
// Writes the picture into `folder` under a name of its own (an existing file
// is never replaced). 1 with the file's path in `out`, or 0 with the reason.
int screenshot_save_in(const std::string& folder, const std::tm& local, const PlatformPicture& picture,
                       std::string& out);
// The F12 key: saves into screenshot_folder() at the present local time,
// prints the path on standard output or one line on standard error. Before
// the first picture there is nothing to save.
void screenshot_take(const PlatformPicture& picture);
