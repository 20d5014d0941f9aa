// Asset loading, in the game's fixed order: four music tracks, seven effects,
// six sprite sheets. Records of one kind share one set of surfaces.
#include "graphics/assets.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "game/world.h"
#include "graphics/bmp.h"
#include "graphics/display.h"
#include "graphics/surface.h"
#include "shell/report.h"

constexpr uint32_t EFFECT_FLAGS = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

static int failed(const char* file, const char* reason)
{
    report_failure(file, reason);  // keeps a more precise reason given earlier
    return 0;
}

// Cuts `count` cells of row `row` into `frames`, one new surface each.
template <size_t N>
static int cut_row(const LoadedBitmap& sheet, const char* file, int w, int h, int row, int count,
                   std::array<Surface*, N>& frames)
{
    for (int i = 0; i < count; ++i) {
        frames[i] = surface_create(w, h, DDSCAPS_VIDEOMEMORY, 0);
        if (!frames[i]) return failed(file, "out of memory");
        if (!surface_fill_from_cell(sheet, frames[i], w, h, i, row, 1))
            return failed(file, "sheet too small for its cells or not 8 bits per pixel");
    }
    return 1;
}

int load_assets()
{
    World& w = world;
    static const char* const music_files[MUSIC_TRACKS] = {"classic.mid", "midifile0.mid", "midifile3.mid",
                                                          "midifile7.mid"};
    for (int i = 0; i < MUSIC_TRACKS; ++i) {
        w.music_tracks[i] = midi_load(music_files[i]);
        if (w.music_tracks[i] == -1) return failed(music_files[i], "cannot load the music");
    }

    struct Effect {
        const char* file;
        int32_t* id;
    };
    const Effect effects[] = {
        {"ahh.WAV", &w.snd_ahh},           {"energize.WAV", &w.snd_energize},
        {"GAMEOVER.WAV", &w.snd_gameover}, {"Projectile.WAV", &w.snd_projectile},
        {"Engines.WAV", &w.snd_engines},   {"Explosion.WAV", &w.snd_explosion},
        {"LevCOMP.WAV", &w.snd_levcomp},
    };
    for (const Effect& e : effects) {
        *e.id = sfx_load_wav(e.file, EFFECT_FLAGS);
        if (*e.id == -1) return failed(e.file, "cannot load the sound");
    }

    LoadedBitmap sheet{};
    int ok = bmp_read(sheet, "./Projectile.bmp") && cut_row(sheet, "./Projectile.bmp", 8, 8, 0, 3, w.shots[0].frames);
    bmp_release(sheet);
    if (!ok) return 0;
    for (Shot& s : w.shots) {
        for (int i = 0; i < 3; ++i) s.frames[i] = w.shots[0].frames[i];
        s.explosion_frames = {};
    }

    ok = bmp_read(sheet, "./Explosion.bmp") &&
         cut_row(sheet, "./Explosion.bmp", 42, 36, 0, EXPLOSION_FRAMES, w.explosion_frames);
    bmp_release(sheet);
    if (!ok) return 0;

    ok = bmp_read(sheet, "./Astronaut.bmp") && cut_row(sheet, "./Astronaut.bmp", 18, 20, 0, 6, w.astronaut.frames);
    bmp_release(sheet);
    if (!ok) return 0;
    w.astronaut.explosion_frames = w.explosion_frames;

    ok = bmp_read(sheet, "./star.bmp") && cut_row(sheet, "./star.bmp", 30, 24, 0, 5, w.star.frames);
    bmp_release(sheet);
    if (!ok) return 0;
    w.star.explosion_frames = w.explosion_frames;

    ok = bmp_read(sheet, "./Asteroid.bmp") && cut_row(sheet, "./Asteroid.bmp", 31, 30, 0, 16, w.asteroids[0].frames);
    bmp_release(sheet);
    if (!ok) return 0;
    w.asteroids[0].explosion_frames = w.explosion_frames;
    for (int a = 1; a < ASTEROID_SLOTS; ++a) {
        for (int i = 0; i < 16; ++i) w.asteroids[a].frames[i] = w.asteroids[0].frames[i];
        w.asteroids[a].explosion_frames = w.explosion_frames;
    }

    // Both headings of a column are made first, then filled, row 0 first.
    if (!bmp_read(sheet, "./PlayerShip.bmp")) return 0;
    ok = 1;
    for (int i = 0; ok && i < HEADINGS; ++i) {
        w.ship.frames[i] = surface_create(22, 18, DDSCAPS_VIDEOMEMORY, 0);
        w.ship.thrust_frames[i] = surface_create(22, 18, DDSCAPS_VIDEOMEMORY, 0);
        if (!w.ship.frames[i] || !w.ship.thrust_frames[i]) {
            ok = failed("./PlayerShip.bmp", "out of memory");
        } else if (!surface_fill_from_cell(sheet, w.ship.frames[i], 22, 18, i, 0, 1) ||
                   !surface_fill_from_cell(sheet, w.ship.thrust_frames[i], 22, 18, i, 1, 1)) {
            ok = failed("./PlayerShip.bmp", "sheet too small for its cells or not 8 bits per pixel");
        }
    }
    bmp_release(sheet);
    if (!ok) return 0;
    w.ship.explosion_frames = w.explosion_frames;

    for (Surface* s : w.shots[0].frames) surface_prepare(s, display.back_buffer);
    for (Surface* s : w.explosion_frames) surface_prepare(s, display.back_buffer);
    for (Surface* s : w.astronaut.frames) surface_prepare(s, display.back_buffer);
    for (Surface* s : w.star.frames) surface_prepare(s, display.back_buffer);
    for (Surface* s : w.asteroids[0].frames) surface_prepare(s, display.back_buffer);
    for (int i = 0; i < HEADINGS; ++i) {
        surface_prepare(w.ship.frames[i], display.back_buffer);
        surface_prepare(w.ship.thrust_frames[i], display.back_buffer);
    }
    return 1;
}
