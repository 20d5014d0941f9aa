// The nine images: made here, written as 8-bit BMPs with the one palette, and
// shown as PNG contact sheets for looking at.
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>

#include "art.h"
#include "assetgen.h"
#include "base/data_files.h"
#include "game/sprite_sizes.h"
#include "preview_png.h"

namespace {

struct Picture {
    DataFile file;
    bool (*make)(art::Image&);
};

// In the order the game reads them, full screens first.
constexpr Picture PICTURES[] = {
    {DATA_SPLASH, art::make_splash},         {DATA_BACKDROP, art::make_backdrop},
    {DATA_INTROTEXT, art::make_introtext},   {DATA_SHEET_STAR, art::make_star_sheet},
    {DATA_SHEET_ASTEROID, art::make_asteroid_sheet}, {DATA_SHEET_SHIP, art::make_ship_sheet},
    {DATA_SHEET_PROJECTILE, art::make_projectile_sheet}, {DATA_SHEET_EXPLOSION, art::make_explosion_sheet},
    {DATA_SHEET_ASTRONAUT, art::make_astronaut_sheet},
};

std::string join(const std::string& dir, const std::string& file)
{
    return dir.empty() || dir.back() == '/' ? dir + file : dir + "/" + file;
}

std::string stem(const char* file)
{
    std::string s = file;
    return s.substr(0, s.rfind('.'));
}

// The text is rasterised by SDL_ttf; its video side is never needed.
bool fonts_up()
{
    if (TTF_WasInit()) return true;
    return TTF_Init() == 0;
}

bool make_all(std::vector<art::Image>& out)
{
    if (!fonts_up()) {
        std::fprintf(stderr, "kestrava-assetgen: no font engine: %s\n", TTF_GetError());
        return false;
    }
    out.clear();
    for (const Picture& p : PICTURES) {
        art::Image im;
        if (!p.make(im)) {
            std::fprintf(stderr, "kestrava-assetgen: could not draw %s\n", data_file_name(p.file));
            TTF_Quit();
            return false;
        }
        out.push_back(std::move(im));
    }
    TTF_Quit();
    return true;
}

std::vector<uint8_t> to_rgb(const art::Image& im, int scale)
{
    const auto& pal = game_palette();
    int w = im.w * scale, h = im.h * scale;
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Colour& c = pal[art::at(im, x / scale, y / scale)];
            uint8_t* o = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            o[0] = c.r;
            o[1] = c.g;
            o[2] = c.b;
        }
    return rgb;
}

// A frame of play put together from the images the way the game draws it:
// backdrop, star, bodies keyed over it. For judging the art in its setting.
art::Image scene(const std::vector<art::Image>& im, bool with_intro)
{
    art::Image screen = im[1];
    auto blit = [&](const art::Image& sheet, int cw, int ch, int col, int row, int x, int y) {
        int x0 = col * (cw + 1) + 1, y0 = row * (ch + 1) + 1;
        for (int j = 0; j < ch; ++j)
            for (int i = 0; i < cw; ++i) {
                uint8_t v = art::at(sheet, x0 + i, y0 + j);
                if (v && x + i >= 0 && y + j >= 0 && x + i < 640 && y + j < 480) art::at(screen, x + i, y + j) = v;
            }
    };
    blit(im[3], STAR_SPRITE.width, STAR_SPRITE.height, 2, 0, 305, 228);
    if (with_intro) {
        for (int y = 50; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (uint8_t v = art::at(im[2], x, y - 50)) art::at(screen, x, y) = v;
        return screen;
    }
    const int rocks[][3] = {{60, 120, 0}, {150, 330, 5}, {420, 90, 9}, {500, 360, 13}, {250, 200, 3}};
    for (const auto& r : rocks) blit(im[4], ASTEROID_SPRITE.width, ASTEROID_SPRITE.height, r[2], 0, r[0], r[1]);
    for (int h = 0; h < 16; ++h) blit(im[5], SHIP_SPRITE.width, SHIP_SPRITE.height, h, h % 2, 40 + h * 36, 440);
    blit(im[5], SHIP_SPRITE.width, SHIP_SPRITE.height, 12, 1, 560, 240);
    for (int k = 0; k < 3; ++k) blit(im[6], SHOT_SPRITE.width, SHOT_SPRITE.height, k, 0, 575 + 2, 200 - k * 24);
    blit(im[8], ASTRONAUT_SPRITE.width, ASTRONAUT_SPRITE.height, 0, 0, 120, 250);
    blit(im[8], ASTRONAUT_SPRITE.width, ASTRONAUT_SPRITE.height, 3, 0, 150, 250);
    for (int f = 0; f < 10; ++f) blit(im[7], EXPLOSION_SPRITE.width, EXPLOSION_SPRITE.height, f, 0, 20 + f * 60, 20);
    return screen;
}

}  // namespace

int write_images(const std::string& dir)
{
    std::vector<art::Image> images;
    if (!make_all(images)) return 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string path = join(dir, data_file_name(PICTURES[i].file));
        if (!bmp_write_8bit(path.c_str(), images[i].w, images[i].h, images[i].px.data(), game_palette())) {
            std::fprintf(stderr, "kestrava-assetgen: could not write %s\n", path.c_str());
            return 0;
        }
    }
    return 1;
}

int write_image_previews(const std::string& dir)
{
    std::vector<art::Image> images;
    if (!make_all(images)) return 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const art::Image& im = images[i];
        const std::string name = stem(data_file_name(PICTURES[i].file));
        if (!png_write_rgb(join(dir, name + ".png"), im.w * 4, im.h * 4, to_rgb(im, 4))) return 0;
        if (im.w >= 640 && !png_write_rgb(join(dir, name + "_1x.png"), im.w, im.h, to_rgb(im, 1))) return 0;
    }
    art::Image play = scene(images, false), intro = scene(images, true);
    if (!png_write_rgb(join(dir, "scene_play.png"), 640, 480, to_rgb(play, 1))) return 0;
    if (!png_write_rgb(join(dir, "scene_intro.png"), 640, 480, to_rgb(intro, 1))) return 0;
    // The palette itself, 16 x 16 swatches of 16 pixels, index 0 top left.
    art::Image swatches = art::image_make(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) art::at(swatches, x, y) = uint8_t((y / 16) * 16 + x / 16);
    if (!png_write_rgb(join(dir, "palette.png"), 256, 256, to_rgb(swatches, 1))) return 0;
    return 1;
}
