// The twenty data files of the game, named as the game opens them, in the
// order it reads them at start-up. The generator makes them, the build
// installs them and the tests check them from this one list: CMake reads
// the quoted names below, one to a line (a leading "./" is not part of the
// file's name).
#pragma once

#include <string>
#include <vector>

enum DataFile : int {
    DATA_SPLASH,
    DATA_BACKDROP,
    DATA_INTROTEXT,
    DATA_MUSIC_CLASSIC,
    DATA_MUSIC_0,
    DATA_MUSIC_3,
    DATA_MUSIC_7,
    DATA_SOUND_AHH,
    DATA_SOUND_ENERGIZE,
    DATA_SOUND_GAMEOVER,
    DATA_SOUND_PROJECTILE,
    DATA_SOUND_ENGINES,
    DATA_SOUND_EXPLOSION,
    DATA_SOUND_LEVCOMP,
    DATA_SHEET_PROJECTILE,
    DATA_SHEET_EXPLOSION,
    DATA_SHEET_ASTRONAUT,
    DATA_SHEET_STAR,
    DATA_SHEET_ASTEROID,
    DATA_SHEET_SHIP,
    DATA_FILE_COUNT
};

inline constexpr const char* DATA_FILES[DATA_FILE_COUNT] = {
    "./splash.bmp",
    "./backdrop.bmp",
    "./introtext.bmp",
    "classic.mid",
    "midifile0.mid",
    "midifile3.mid",
    "midifile7.mid",
    "ahh.WAV",
    "energize.WAV",
    "GAMEOVER.WAV",
    "Projectile.WAV",
    "Engines.WAV",
    "Explosion.WAV",
    "LevCOMP.WAV",
    "./Projectile.bmp",
    "./Explosion.bmp",
    "./Astronaut.bmp",
    "./star.bmp",
    "./Asteroid.bmp",
    "./PlayerShip.bmp",
};

// The file's own name, without the "./" the game opens some of them with.
constexpr const char* data_file_name(DataFile file)
{
    const char* name = DATA_FILES[file];
    return name[0] == '.' && name[1] == '/' ? name + 2 : name;
}

// The data file whose name `name` comes nearest, differing only in case or
// by at most two letters (added, dropped or changed); DATA_FILE_COUNT when
// none does. For a modder's misnamed file.
DataFile data_file_near(const std::string& name);

// Where each file is read from. Unless told otherwise, its name in the
// working directory. A mod is a folder of what changed: each file is looked
// for in the folders in their order, the data folder first, and a file
// missing there is taken from the next, so a mod folder holds only the files
// a player replaced.
enum DataOrigin { DATA_FROM_FOLDER, DATA_FROM_WORKDIR, DATA_FROM_INSTALLED, DATA_NOWHERE };

struct DataFolder {
    std::string path;  // empty or "." is the working directory
    DataOrigin origin;
};

// Looks every file up once, in the folders in their order.
void data_set_folders(const std::vector<DataFolder>& folders);
// The folders looked in, in their order.
const std::vector<DataFolder>& data_folders();
// The path to open the file by; where it is missing everywhere, its path in
// the first folder, so that the failure names it.
const char* data_path(DataFile file);
DataOrigin data_origin(DataFile file);  // where data_path points, for the data checker
