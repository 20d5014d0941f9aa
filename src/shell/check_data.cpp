// The data checker. It reads each file with the game's own readers and
// applies the game's own demands (an image of the very size the game cuts its
// cells from), so that its verdict is the game's.
#include "shell/check_data.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/sfx.h"
#include "base/data_files.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/midi_file.h"
#include "formats/wav.h"
#include "shell/image_demands.h"

namespace {

// How many differing palette entries a line names before it stops counting.
constexpr size_t NAMED_ENTRIES = 4;

const char* origin_name(DataOrigin origin)
{
    switch (origin) {
    case DATA_FROM_FOLDER: return "data folder";
    case DATA_FROM_WORKDIR: return "working directory";
    case DATA_FROM_INSTALLED: return "installed";
    case DATA_NOWHERE: break;
    }
    return "missing";
}

// "a, b and c"
std::string listed(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

// Where the file comes from, and the folders before it that lack it.
std::string origin_text(DataFile file)
{
    std::vector<std::string> before;
    for (const DataFolder& folder : data_folders()) {
        if (folder.origin == data_origin(file)) break;
        before.push_back(folder.path.empty() || folder.path == "." ? "the working directory" : folder.path);
    }
    if (data_origin(file) == DATA_NOWHERE) return "missing from " + listed(before);
    std::string text = std::string(data_path(file)) + " (" + origin_name(data_origin(file));
    if (!before.empty()) text += "; not in " + listed(before);
    return text + ")";
}

// The reader's reason, without the path the report starts with.
std::string refusal(const char* path)
{
    std::string text = report_text();
    const std::string prefix = std::string(path) + ": ";
    if (text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
    return "refused: " + text;
}

// The image's own palette entries that differ from the splash's.
std::vector<int> entries_unlike(const LoadedBitmap& image, const LoadedBitmap& splash)
{
    std::vector<int> differ;
    for (int i = 0; i < image.palette_entries; ++i) {
        const PALETTEENTRY& a = image.palette[i];
        const PALETTEENTRY& b = splash.palette[i];
        if (a.peRed != b.peRed || a.peGreen != b.peGreen || a.peBlue != b.peBlue) differ.push_back(i);
    }
    return differ;
}

std::string palette_note(const std::vector<int>& differ)
{
    std::string first;
    for (size_t i = 0; i < differ.size() && i < NAMED_ENTRIES; ++i)
        first += (i ? ", " : "") + std::to_string(differ[i]);
    return "palette differs from splash.bmp's at " + std::to_string(differ.size()) + " entr" +
           (differ.size() == 1 ? "y" : "ies") + " (first " + first + "); shown through splash.bmp's";
}

struct ImageCheck {
    const LoadedBitmap* splash;  // null when the splash is refused
    bool verbose;
    int other_palettes;  // images whose own palette is not the splash's
};

std::string check_image(DataFile file, ImageCheck& check, bool& ok)
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
    const std::string fault = image_fault(file, image);
    if (!fault.empty()) {
        ok = false;
        line += ": refused: " + fault;
    } else if (file == DATA_SPLASH) {
        line += ": loaded; its palette is the game's";
    } else if (!check.splash) {
        line += ": loaded; palette not compared, as splash.bmp is refused";
    } else if (const std::vector<int> differ = entries_unlike(image, *check.splash); differ.empty()) {
        line += ": loaded";
    } else {
        ++check.other_palettes;
        line += ": loaded" + (check.verbose ? "; " + palette_note(differ) : "");
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
    std::string line = format;
    if (wav.declared_bytes > wav.data_bytes) {
        const uint32_t cut = wav.declared_bytes - wav.data_bytes;
        char shortfall[160];
        std::snprintf(shortfall, sizeof shortfall, ": its data is %u bytes (%.2f s) shorter than its header claims",
                      cut,
                      static_cast<double>(cut) / wav.format.nBlockAlign / wav.format.nSamplesPerSec);
        line += shortfall;
        return line + (as_is ? ": loaded as far as it goes" : ": converted as far as it goes to 8-bit mono 11025 Hz");
    }
    return line + (as_is ? ": loaded as it is" : ": converted to 8-bit mono 11025 Hz");
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

// What a file the game does not read may have been meant as: a data file
// misnamed, or a picture for the importer.
std::string unused_note(const std::string& name)
{
    DataFile near = data_file_near(name);
    if (near != DATA_FILE_COUNT) return "; did you mean " + std::string(data_file_name(near)) + "?";
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || strcasecmp(name.c_str() + dot, ".png") != 0) return "";
    near = data_file_near(name.substr(0, dot) + ".bmp");
    if (near == DATA_FILE_COUNT || !is_image(near)) return "";
    return "; kestrava --import turns it into " + std::string(data_file_name(near));
}

// The data folder's files that the game does not read, with the game's file
// each name comes near.
void list_unused(std::FILE* out)
{
    const std::string folder = data_folders().empty() ? "." : data_folders().front().path;
    // A working directory that gives the game nothing is no mod (a home folder, say): its files are not listed.
    bool gives = false;
    for (int i = 0; i < DATA_FILE_COUNT; ++i)
        gives = gives || data_origin(static_cast<DataFile>(i)) == DATA_FROM_FOLDER;
    if (!gives && (folder.empty() || folder == ".")) return;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> unused;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (stat((folder + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        bool read = false;
        for (int i = 0; i < DATA_FILE_COUNT; ++i) read = read || name == data_file_name(static_cast<DataFile>(i));
        if (!read) unused.push_back(name);
    }
    closedir(dir);
    std::sort(unused.begin(), unused.end());
    for (const std::string& name : unused)
        std::fprintf(out, "%s: not read by the game%s\n", name.c_str(), unused_note(name).c_str());
}

}  // namespace

int check_data(std::FILE* out, bool verbose)
{
    bool all = true;
    LoadedBitmap splash{};
    report_clear();
    const bool have_splash = image_read(splash, DATA_SPLASH) == 1;
    ImageCheck images{have_splash ? &splash : nullptr, verbose, 0};
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        bool ok = true;
        std::string verdict;
        if (data_origin(file) == DATA_NOWHERE) {
            ok = false;
            verdict = "refused";
        } else if (file >= DATA_MUSIC_CLASSIC && file <= DATA_MUSIC_7) {
            verdict = check_music(file, ok);
        } else if (file >= DATA_SOUND_AHH && file <= DATA_SOUND_LEVCOMP) {
            verdict = check_sound(file, ok);
        } else {
            verdict = check_image(file, images, ok);
        }
        all = all && ok;
        std::fprintf(out, "%s: %s: %s\n", data_file_name(file), origin_text(file).c_str(), verdict.c_str());
    }
    bmp_release(splash);
    list_unused(out);
    if (const int n = images.other_palettes; n > 0)
        std::fprintf(out, "%d %s a palette other than splash.bmp's: the game shows %s pixels' indices in splash.bmp's "
                     "colours%s\n", n, n == 1 ? "image carries" : "images carry", n == 1 ? "its" : "their",
                     verbose ? "" : " (--verbose says where each differs)");
    std::fprintf(out, all ? "The game would start on these files.\n" : "The game would not start on these files.\n");
    return all ? 0 : 1;
}
