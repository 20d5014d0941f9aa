// Asset loading, in the game's fixed order: four music tracks, seven effects,
// six sprite sheets. Records of one kind share one set of surfaces.
#include "graphics/assets.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "base/data_files.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "game/world.h"
#include "graphics/display.h"
#include "graphics/image_demands.h"
#include "graphics/surface.h"

constexpr uint32_t EFFECT_FLAGS = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

static int failed(const char* file, const char* reason)
{
    report_failure(file, reason);  // keeps a more precise reason given earlier
    return 0;
}

static int fill_cell(const LoadedBitmap& sheet, const char* file, const SpriteSize& size, int column, int row,
                     Surface* target)
{
    if (!surface_fill_from_cell(sheet, target, size.width, size.height, column, row, 1))
        return failed(file, "sheet too small for its cells or not 8 bits per pixel");
    return 1;
}

// A new surface for one cell of a sheet, stored at once so that shut-down
// releases it whatever happens next; then filled from the cell.
static int cut_cell(const LoadedBitmap& sheet, const char* file, const SpriteSize& size, int column, int row,
                    Surface*& target)
{
    target = surface_create(size.width, size.height, DDSCAPS_VIDEOMEMORY, 0);
    if (!target) return failed(file, "out of memory");
    return fill_cell(sheet, file, size, column, row, target);
}

// Reads a sheet and cuts the body's pictures from its first row.
template <size_t N>
static int load_sheet(DataFile file, const SpriteSize& size, std::array<Surface*, N>& frames)
{
    LoadedBitmap sheet{};
    int ok = image_read(sheet, file);
    for (int i = 0; ok && i < size.frames; ++i) ok = cut_cell(sheet, data_path(file), size, i, 0, frames[i]);
    bmp_release(sheet);
    return ok;
}

// The ship's sheet: a column a heading, plain above, thrusting below. Both
// surfaces of a column are made first, then filled, row 0 first.
static int load_ship_sheet(Ship& ship)
{
    const char* file = data_path(DATA_SHEET_SHIP);
    LoadedBitmap sheet{};
    if (!image_read(sheet, DATA_SHEET_SHIP)) return 0;
    int ok = 1;
    for (int i = 0; ok && i < HEADINGS; ++i) {
        ship.frames[i] = surface_create(SHIP_SPRITE.width, SHIP_SPRITE.height, DDSCAPS_VIDEOMEMORY, 0);
        ship.thrust_frames[i] = surface_create(SHIP_SPRITE.width, SHIP_SPRITE.height, DDSCAPS_VIDEOMEMORY, 0);
        if (!ship.frames[i] || !ship.thrust_frames[i]) {
            ok = failed(file, "out of memory");
        } else {
            // Filled where they stand: cutting anew would drop the pair
            // just made, which nothing would ever release.
            ok = fill_cell(sheet, file, SHIP_SPRITE, i, 0, ship.frames[i]) &&
                 fill_cell(sheet, file, SHIP_SPRITE, i, 1, ship.thrust_frames[i]);
        }
    }
    bmp_release(sheet);
    return ok;
}

template <size_t N>
static void prepare_all(const std::array<Surface*, N>& frames)
{
    for (Surface* s : frames) surface_prepare(s, display.back_buffer);
}

int load_assets()
{
    World& w = world;
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
        *e.id = sfx_load_wav(data_path(e.file), EFFECT_FLAGS);
        if (*e.id == -1) return failed(data_path(e.file), "cannot load the sound");
    }

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
    w.asteroids[0].explosion_frames = w.explosion_frames;
    for (int a = 1; a < ASTEROID_SLOTS; ++a) {
        for (int i = 0; i < ASTEROID_SPRITE.frames; ++i) w.asteroids[a].frames[i] = w.asteroids[0].frames[i];
        w.asteroids[a].explosion_frames = w.explosion_frames;
    }

    if (!load_ship_sheet(w.ship)) return 0;
    w.ship.explosion_frames = w.explosion_frames;

    prepare_all(w.shots[0].frames);
    prepare_all(w.explosion_frames);
    prepare_all(w.astronaut.frames);
    prepare_all(w.star.frames);
    prepare_all(w.asteroids[0].frames);
    prepare_all(w.ship.frames);
    prepare_all(w.ship.thrust_frames);
    return 1;
}

template <size_t N>
static void release_frames(std::array<Surface*, N>& frames)
{
    for (Surface*& s : frames) {
        surface_release(s);
        s = nullptr;
    }
}

void release_assets()
{
    World& w = world;
    // Each surface once, from the record that made it; then every borrowed
    // copy is cleared so that nothing points at freed memory.
    release_frames(w.shots[0].frames);
    release_frames(w.explosion_frames);
    release_frames(w.astronaut.frames);
    release_frames(w.ship.frames);
    release_frames(w.ship.thrust_frames);
    release_frames(w.asteroids[0].frames);
    release_frames(w.star.frames);
    for (Shot& s : w.shots) s.frames = {};
    for (Asteroid& a : w.asteroids) {
        a.frames = {};
        a.explosion_frames = {};
    }
    w.star.explosion_frames = {};
    w.astronaut.explosion_frames = {};
    w.ship.explosion_frames = {};
}
