// The data generator: every image, effect and music file of the game is made
// here, deterministically (our own seeded generator; no clock, no locale).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "formats/bmp.h"

// Each write_* makes its files in `dir` and returns 1, or 0 at the first
// file it could not make (main then names the folder).

// images: the one palette of every BMP (the splash's), and the nine images.
const Palette& game_palette();
int write_images(const std::string& dir);
int write_image_previews(const std::string& dir);  // PNG contact sheets, 4x

// sounds and music: the seven effects and the four tracks
int write_sounds(const std::string& dir);
int write_sound_previews(const std::string& dir);  // 44.1 kHz WAVs for listening
int write_music(const std::string& dir);

// The desktop icon, from the ship: DIR/kestrava-<size>.png for each size.
// The sizes come from the build, which installs each of them.
constexpr int ICON_SIZES[] = {KESTRAVA_ICON_SIZES};
int write_icons(const std::string& dir);
