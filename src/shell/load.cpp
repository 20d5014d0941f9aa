// Loading the data files in the game's fixed order. Records of one kind
// share one set of pictures.
#include "shell/load.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "base/data_files.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "graphics/display.h"
#include "graphics/sprites.h"
#include "graphics/surface.h"
#include "shell/image_demands.h"

constexpr const char* SCREEN_CUT = "image smaller than 640 x 480 or not 8 bits per pixel";

static int failed(const char* file, const char* reason)
{
    report_failure(file, reason);  // keeps a more precise reason given earlier
    return 0;
}

int load_splash()
{
    LoadedBitmap splash{};
    const char* file = data_path(DATA_SPLASH);
    if (!image_read(splash, DATA_SPLASH)) return 0;
    const int shown = display_show_splash(splash);
    bmp_release(splash);
    return shown ? 1 : failed(file, SCREEN_CUT);
}

static int load_screen_image(DataFile file, Surface*& target)
{
    const char* path = data_path(file);
    LoadedBitmap bitmap{};
    if (!image_read(bitmap, file)) return 0;
    target = surface_create(SCREEN_WIDTH, SCREEN_HEIGHT, 0);
    int ok = target != nullptr;
    if (!ok) report_failure(path, "out of memory");
    if (ok && !surface_fill_from_cell(bitmap, target, SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0, 0)) ok = failed(path, SCREEN_CUT);
    bmp_release(bitmap);
    if (ok) surface_prepare(target, display.back_buffer);
    return ok;
}

int load_screen_images()
{
    return load_screen_image(DATA_BACKDROP, display.backdrop_surface) &&
           load_screen_image(DATA_INTROTEXT, display.intro_text_surface);
}

static int fill_cell(const LoadedBitmap& sheet, const char* file, const SpriteSize& size, int column, int row,
                     SpriteId picture)
{
    if (!surface_fill_from_cell(sheet, sprite_surface(picture), size.width, size.height, column, row, 1))
        return failed(file, "sheet too small for its cells or not 8 bits per pixel");
    return 1;
}

// A new picture, in the bank at once so that shut-down releases it whatever
// happens next.
static int new_picture(const char* file, const SpriteSize& size, SpriteId& picture)
{
    Surface* surface = surface_create(size.width, size.height, 0);
    picture = surface ? sprite_add(surface) : -1;
    if (picture < 0) {
        picture = 0;
        return failed(file, "out of memory");
    }
    surface_prepare(surface, display.back_buffer);
    return 1;
}

// Reads a sheet and cuts the body's pictures from its first row.
template <size_t N>
static int load_sheet(DataFile file, const SpriteSize& size, std::array<SpriteId, N>& frames)
{
    LoadedBitmap sheet{};
    const char* path = data_path(file);
    int ok = image_read(sheet, file);
    for (int i = 0; ok && i < size.frames; ++i)
        ok = new_picture(path, size, frames[i]) && fill_cell(sheet, path, size, i, 0, frames[i]);
    bmp_release(sheet);
    return ok;
}

// The ship's sheet: a column a heading, plain above, thrusting below. Both
// pictures of a column are made first, then filled, row 0 first.
static int load_ship_sheet(Ship& ship)
{
    const char* file = data_path(DATA_SHEET_SHIP);
    LoadedBitmap sheet{};
    if (!image_read(sheet, DATA_SHEET_SHIP)) return 0;
    int ok = 1;
    for (int i = 0; ok && i < HEADINGS; ++i) {
        ok = new_picture(file, SHIP_SPRITE, ship.frames[i]) && new_picture(file, SHIP_SPRITE, ship.thrust_frames[i]) &&
             fill_cell(sheet, file, SHIP_SPRITE, i, 0, ship.frames[i]) &&
             fill_cell(sheet, file, SHIP_SPRITE, i, 1, ship.thrust_frames[i]);
    }
    bmp_release(sheet);
    return ok;
}

static int load_sounds(World& w)
{
    for (int i = 0; i < MUSIC_TRACKS; ++i) {
        const char* file = data_path(static_cast<DataFile>(DATA_MUSIC_CLASSIC + i));
        w.music_tracks[i] = midi_load(file);
        if (w.music_tracks[i] == -1) return failed(file, "cannot load the music");
    }
    struct Effect {
        DataFile file;
        int32_t* id;
    };
    const Effect effects[] = {
        {DATA_SOUND_AHH, &w.snd_ahh},           {DATA_SOUND_ENERGIZE, &w.snd_energize},
        {DATA_SOUND_GAMEOVER, &w.snd_gameover}, {DATA_SOUND_PROJECTILE, &w.snd_projectile},
        {DATA_SOUND_ENGINES, &w.snd_engines},   {DATA_SOUND_EXPLOSION, &w.snd_explosion},
        {DATA_SOUND_LEVCOMP, &w.snd_levcomp},
    };
    for (const Effect& e : effects) {
        *e.id = sfx_load_wav(data_path(e.file));
        if (*e.id == -1) return failed(data_path(e.file), "cannot load the sound");
    }
    return 1;
}

int load_assets(World& w)
{
    if (!load_sounds(w)) return 0;

    if (!load_sheet(DATA_SHEET_PROJECTILE, SHOT_SPRITE, w.shots[0].frames)) return 0;
    for (Shot& s : w.shots) {
        for (int i = 0; i < SHOT_SPRITE.frames; ++i) s.frames[i] = w.shots[0].frames[i];
        s.explosion_frames = {};
    }

    if (!load_sheet(DATA_SHEET_EXPLOSION, EXPLOSION_SPRITE, w.explosion_frames)) return 0;

    if (!load_sheet(DATA_SHEET_ASTRONAUT, ASTRONAUT_SPRITE, w.astronaut.frames)) return 0;
    w.astronaut.explosion_frames = w.explosion_frames;

    if (!load_sheet(DATA_SHEET_STAR, STAR_SPRITE, w.star.frames)) return 0;
    w.star.explosion_frames = w.explosion_frames;

    if (!load_sheet(DATA_SHEET_ASTEROID, ASTEROID_SPRITE, w.asteroids[0].frames)) return 0;
    for (Asteroid& a : w.asteroids) {
        a.frames = w.asteroids[0].frames;
        a.explosion_frames = w.explosion_frames;
    }

    if (!load_ship_sheet(w.ship)) return 0;
    w.ship.explosion_frames = w.explosion_frames;
    return 1;
}

void release_assets(World& w)
{
    sprites_release_all();
    for (Shot& s : w.shots) s.frames = {};
    for (Asteroid& a : w.asteroids) {
        a.frames = {};
        a.explosion_frames = {};
    }
    w.explosion_frames = {};
    w.star.frames = {};
    w.star.explosion_frames = {};
    w.astronaut.frames = {};
    w.astronaut.explosion_frames = {};
    w.ship.frames = {};
    w.ship.thrust_frames = {};
    w.ship.explosion_frames = {};
}
