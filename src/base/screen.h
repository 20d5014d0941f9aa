// The playfield's size in pixels: the rules wrap and place bodies in it, the
// display shows it, the tools draw for it.
#pragma once

constexpr int SCREEN_WIDTH = 640;
constexpr int SCREEN_HEIGHT = 480;
