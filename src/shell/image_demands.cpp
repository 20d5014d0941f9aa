// A sheet's size follows from its cells: each framed by a 1-pixel grid line,
// the outer edge included (or left off). An image of any other size would be
// cut into garbled cells, so it is refused rather than shown.
#include "shell/image_demands.h"

#include "base/report.h"
#include "game/sprite_sizes.h"

namespace {

constexpr int SCREEN_W = 640;
constexpr int SCREEN_H = 480;

struct Sheet {
    DataFile file;
    SpriteSize size;
    int rows;
};
constexpr Sheet SHEETS[] = {
    {DATA_SHEET_PROJECTILE, SHOT_SPRITE, 1}, {DATA_SHEET_EXPLOSION, EXPLOSION_SPRITE, 1},
    {DATA_SHEET_ASTRONAUT, ASTRONAUT_SPRITE, 1}, {DATA_SHEET_STAR, STAR_SPRITE, 1},
    {DATA_SHEET_ASTEROID, ASTEROID_SPRITE, 1}, {DATA_SHEET_SHIP, SHIP_SPRITE, 2},
};

std::string size_text(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

bool is_image(DataFile file)
{
    return file <= DATA_INTROTEXT || file >= DATA_SHEET_PROJECTILE;
}

ImageDemand image_demand(DataFile file)
{
    for (const Sheet& s : SHEETS) {
        if (s.file != file) continue;
        return ImageDemand{s.size.frames * (s.size.width + 1) + 1, s.rows * (s.size.height + 1) + 1, s.size.frames,
                           s.rows, s.size.width, s.size.height, true};
    }
    return ImageDemand{SCREEN_W, SCREEN_H, 1, 1, SCREEN_W, SCREEN_H, false};
}

std::string image_size_text(DataFile file)
{
    const ImageDemand d = image_demand(file);
    std::string text = size_text(d.width, d.height);
    if (d.grid)
        text += " (" + (d.rows == 1 ? std::to_string(d.columns) : size_text(d.columns, d.rows)) + " cells of " +
                size_text(d.cell_width, d.cell_height) + " in a 1-pixel grid)";
    return text;
}

std::string image_fault(DataFile file, int bits, int width, int height)
{
    if (bits != 8) return std::to_string(bits) + " bits a pixel, not a palette image (kestrava --import makes one)";
    const ImageDemand d = image_demand(file);
    // The closing grid line, right and bottom, frames no cell: a sheet
    // without it cuts the same cells.
    const int spare = d.grid ? 1 : 0;
    if ((width == d.width || width == d.width - spare) && (height == d.height || height == d.height - spare))
        return "";
    return size_text(width, height) + ", not " + image_size_text(file);
}

std::string image_fault(DataFile file, const LoadedBitmap& image)
{
    const BITMAPINFOHEADER& h = image.info_header;
    std::string why = image_fault(file, h.biBitCount, h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight);
    // Every image is shown through the splash's palette: a colour its own
    // pixels use and it lacks is one the game has not got.
    if (why.empty() && file == DATA_SPLASH) why = bmp_palette_shortfall(image);
    return why;
}

int image_read(LoadedBitmap& image, DataFile file)
{
    if (!bmp_read(image, data_path(file))) return 0;
    const std::string why = image_fault(file, image);
    if (why.empty()) return 1;
    report_failure(data_path(file), why.c_str());
    bmp_release(image);
    return 0;
}
