// The bodies' sprite sizes, shared by the game that cuts the sheets and the
// generator that draws them.
#pragma once

// The ship turns through 16 headings; every explosion shows 10 pictures.
constexpr int HEADINGS = 16;
constexpr int EXPLOSION_FRAMES = 10;

// One picture of a body's sprite sheet, and how many of them the body shows.
// A sheet holds them in a row, each cell framed by a 1-pixel grid.
struct SpriteSize {
    int width;
    int height;
    int frames;
};
// Each body's picture size and count.
constexpr SpriteSize STAR_SPRITE{30, 24, 5};
constexpr SpriteSize ASTEROID_SPRITE{31, 30, 16};
constexpr SpriteSize SHIP_SPRITE{22, 18, HEADINGS};  // one row plain, one row thrusting
constexpr SpriteSize SHOT_SPRITE{8, 8, 3};
constexpr SpriteSize ASTRONAUT_SPRITE{18, 20, 6};
constexpr SpriteSize EXPLOSION_SPRITE{42, 36, EXPLOSION_FRAMES};
