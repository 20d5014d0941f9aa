// The data checker. It reads each file with the game's own readers and
// applies the game's own demands (a screen image of 640 x 480, a sheet wide
// and high enough for its grid of cells), so that its verdict is the game's.
#include "shell/check_data.h"

#include <string>
#include <vector>

#include "audio/sfx.h"
#include "base/data_files.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/midi_file.h"
#include "formats/wav.h"
#include "game/sprite_sizes.h"

namespace {

constexpr int SCREEN_W = 640;
constexpr int SCREEN_H = 480;
// How many differing palette entries a line names before it stops counting.
constexpr int NAMED_ENTRIES = 4;

struct SheetGrid {
    DataFile file;
    SpriteSize size;
    int rows;
};
constexpr SheetGrid SHEETS[] = {
    {DATA_SHEET_PROJECTILE, SHOT_SPRITE, 1}, {DATA_SHEET_EXPLOSION, EXPLOSION_SPRITE, 1},
    {DATA_SHEET_ASTRONAUT, ASTRONAUT_SPRITE, 1}, {DATA_SHEET_STAR, STAR_SPRITE, 1},
    {DATA_SHEET_ASTEROID, ASTEROID_SPRITE, 1}, {DATA_SHEET_SHIP, SHIP_SPRITE, 2},
};

std::string origin_text(DataFile file)
{
    switch (data_origin(file)) {
    case DATA_FROM_FOLDER: return std::string(data_path(file)) + " (data folder)";
    case DATA_FROM_INSTALLED: return std::string(data_path(file)) + " (installed)";
    case DATA_NOWHERE: break;
    }
    return std::string(data_path(file)) + " (missing)";
}

// The reader's reason, without the path the report starts with.
std::string refusal(const char* path)
{
    std::string text = report_text();
    const std::string prefix = std::string(path) + ": ";
    if (text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
    return "refused: " + text;
}

// "" when the image can be shown as the game needs it, else why not.
std::string image_demand(DataFile file, const LoadedBitmap& image)
{
    const int width = image.info_header.biWidth;
    const int height = image.info_header.biHeight < 0 ? -image.info_header.biHeight : image.info_header.biHeight;
    if (image.info_header.biBitCount != 8) return "not a palette image of 8 bits or fewer";
    if (file <= DATA_INTROTEXT) {
        if (width < SCREEN_W || height < SCREEN_H) return "smaller than 640 x 480";
        return "";
    }
    for (const SheetGrid& sheet : SHEETS) {
        if (sheet.file != file) continue;
        // Cells framed by a 1-pixel grid, in a row (two rows for the ship).
        const int need_w = sheet.size.frames * (sheet.size.width + 1);
        const int need_h = sheet.rows * (sheet.size.height + 1);
        if (width < need_w || height < need_h)
            return "smaller than its " + std::to_string(sheet.size.frames) + " x " + std::to_string(sheet.rows) +
                   " cells of " + std::to_string(sheet.size.width) + " x " + std::to_string(sheet.size.height) +
                   " in a 1-pixel grid (at least " + std::to_string(need_w) + " x " + std::to_string(need_h) + ")";
    }
    return "";
}

// Which of the image's own entries differ from the splash's.
std::string palette_note(const LoadedBitmap& image, const LoadedBitmap& splash)
{
    std::string differ;
    int count = 0;
    for (int i = 0; i < image.palette_entries; ++i) {
        const PALETTEENTRY& a = image.palette[i];
        const PALETTEENTRY& b = splash.palette[i];
        if (a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue) continue;
        if (count < NAMED_ENTRIES) differ += (count ? ", " : "") + std::to_string(i);
        ++count;
    }
    if (count == 0) return "palette matches splash.bmp's";
    return "palette differs from splash.bmp's at " + std::to_string(count) + " entr" + (count == 1 ? "y" : "ies") +
           " (first " + differ + "); shown through splash.bmp's";
}

std::string check_image(DataFile file, const LoadedBitmap* splash, bool& ok)
{
    LoadedBitmap image{};
    report_clear();
    if (!bmp_read(image, data_path(file))) {
        ok = false;
        return refusal(data_path(file));
    }
    char format[160];
    bmp_describe(image, format, sizeof format);
    std::string line = format;
    const std::string demand = image_demand(file, image);
    if (!demand.empty()) {
        ok = false;
        line += ": refused: " + demand;
    } else if (file == DATA_SPLASH) {
        line += ": loaded; its palette is the game's";
    } else if (!splash) {
        line += ": loaded; palette not compared, as splash.bmp is not loaded";
    } else {
        line += ": loaded; " + palette_note(image, *splash);
    }
    bmp_release(image);
    return line;
}

std::string check_sound(DataFile file, bool& ok)
{
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    WavData wav{};
    if (!read_file(data_path(file), AUDIO_FILE_LIMIT, bytes, &why) || !wav_parse(bytes.data(), bytes.size(), wav, &why)) {
        ok = false;
        return std::string("refused: ") + why;
    }
    char format[160];
    wav_describe(wav, format, sizeof format);
    std::vector<uint8_t> effect;
    if (!sfx_convert(wav, effect, &why)) {
        ok = false;
        return std::string(format) + ": refused: " + why;
    }
    const bool as_is = effect.size() == wav.data_bytes && wav.format.wBitsPerSample == 8 &&
                       wav.format.nChannels == 1 && wav.format.nSamplesPerSec == EFFECT_SAMPLE_RATE;
    return std::string(format) + (as_is ? ": loaded as it is" : ": converted to 8-bit mono 11025 Hz");
}

std::string check_music(DataFile file, bool& ok)
{
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file(data_path(file), AUDIO_FILE_LIMIT, bytes, &why) || !midi_validate(bytes.data(), bytes.size(), &why)) {
        ok = false;
        return std::string("refused: ") + why;
    }
    return "Standard MIDI File: loaded";
}

}  // namespace

int check_data(std::FILE* out)
{
    bool all = true;
    LoadedBitmap splash{};
    report_clear();
    const bool have_splash = bmp_read(splash, data_path(DATA_SPLASH)) == 1;
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        bool ok = true;
        std::string verdict;
        if (data_origin(file) == DATA_NOWHERE) {
            ok = false;
            verdict = "refused: missing";
        } else if (file >= DATA_MUSIC_CLASSIC && file <= DATA_MUSIC_7) {
            verdict = check_music(file, ok);
        } else if (file >= DATA_SOUND_AHH && file <= DATA_SOUND_LEVCOMP) {
            verdict = check_sound(file, ok);
        } else {
            verdict = check_image(file, have_splash ? &splash : nullptr, ok);
        }
        all = all && ok;
        std::fprintf(out, "%s: %s: %s\n", data_file_name(file), origin_text(file).c_str(), verdict.c_str());
    }
    bmp_release(splash);
    std::fprintf(out, all ? "The game would start on these files.\n" : "The game would not start on these files.\n");
    return all ? 0 : 1;
}
