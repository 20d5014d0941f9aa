// The importer. Painting programs and converters keep their own palette
// order, and the game shows every image's indices in the splash's colours:
// here each pixel is matched by its colour instead, so the picture shows as
// it was painted.
#include "shell/import.h"

#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/bytes.h"
#include "base/data_files.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "shell/image_demands.h"

namespace {

constexpr size_t PICTURE_FILE_LIMIT = size_t{64} << 20;
constexpr uint8_t SEE_THROUGH = 0;
constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr const char* ALREADY_THERE = "already exists; an import never replaces a file";

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // red, green, blue, alpha; alpha 0 is see-through
};

int refuse(const std::string& subject, const std::string& why)
{
    std::fprintf(stderr, "kestrava: %s: %s\n", subject.c_str(), why.c_str());
    return 1;
}

struct Masks {
    uint32_t r, g, b, a;  // a 0: no alpha
};

// A true-colour BMP's channels: the masks after its 40-byte info header, or
// within a longer one, both from byte 54 of the file; else the format's own.
Masks bmp_masks(const std::vector<uint8_t>& file, const BITMAPINFOHEADER& h)
{
    if (h.biCompression != BI_BITFIELDS)
        return h.biBitCount == 16 ? Masks{0x7C00, 0x03E0, 0x001F, 0} : Masks{0xFF0000, 0xFF00, 0xFF, 0};
    constexpr size_t MASKS_AT = 54;
    return Masks{get32le(&file[MASKS_AT]), get32le(&file[MASKS_AT + 4]), get32le(&file[MASKS_AT + 8]),
                 h.biSize >= 56 ? get32le(&file[MASKS_AT + 12]) : 0};
}

uint8_t channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    return static_cast<uint8_t>(uint64_t{(pixel & mask) >> shift} * 255 / (mask >> shift));
}

// A BMP as red, green, blue and alpha: a palette image's index 0 is
// see-through, as in every image the game reads; so is a pixel of alpha 0
// in a BMP with an alpha channel that is not 0 throughout.
void bmp_to_rgba(const std::vector<uint8_t>& file, const LoadedBitmap& bmp, Rgba& out)
{
    const BITMAPINFOHEADER& h = bmp.info_header;
    const int bits = h.biBitCount;
    const Masks masks = bmp_masks(file, h);
    out.width = h.biWidth;
    out.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const auto stride = static_cast<size_t>(bmp_row_stride(h.biWidth, bits));
    const auto count = static_cast<size_t>(out.width) * static_cast<size_t>(out.height);
    out.pixels.resize(count * 4);
    bool any_alpha = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bmp.pixels + i / static_cast<size_t>(out.width) * stride +
                           i % static_cast<size_t>(out.width) * static_cast<size_t>(bits / 8);
        uint8_t* q = &out.pixels[i * 4];
        if (bits == 8) {
            const PALETTEENTRY& e = bmp.palette[p[0]];
            q[0] = e.peRed, q[1] = e.peGreen, q[2] = e.peBlue, q[3] = p[0] == SEE_THROUGH ? 0 : 255;
        } else if (bits == 24) {
            q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 255;
        } else {
            const uint32_t v = bits == 16 ? get16le(p) : get32le(p);
            q[0] = channel(v, masks.r), q[1] = channel(v, masks.g), q[2] = channel(v, masks.b);
            q[3] = masks.a ? channel(v, masks.a) : 255;
            any_alpha = any_alpha || q[3] != 0;
        }
    }
    // Tools that leave the alpha channel empty mean an opaque picture.
    if (masks.a && !any_alpha)
        for (size_t i = 0; i < count; ++i) out.pixels[i * 4 + 3] = 255;
}

// The picture whatever its kind; "", or why it cannot be read.
std::string read_picture(const char* path, Rgba& out)
{
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file(path, PICTURE_FILE_LIMIT, bytes, &why)) return why;
    if (bytes.size() >= sizeof PNG_SIGNATURE && std::memcmp(bytes.data(), PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0)
        return png_decode_rgba(bytes, out.pixels, out.width, out.height, &why) ? "" : why;
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') return "neither a PNG nor a BMP file";
    LoadedBitmap bmp{};
    report_clear();
    if (!bmp_read(bmp, path)) return std::string(report_text()).substr(std::strlen(path) + 2);  // past "path: "
    bmp_to_rgba(bytes, bmp, out);
    bmp_release(bmp);
    return "";
}

// Entries 1 to 255 by squared distance; index 0 is kept for see-through.
uint8_t nearest(const std::array<PALETTEENTRY, 256>& palette, const uint8_t* rgb)
{
    uint8_t best = 1;
    int best_distance = 1 << 30;
    for (int i = 1; i < 256; ++i) {
        const int dr = rgb[0] - palette[i].peRed, dg = rgb[1] - palette[i].peGreen, db = rgb[2] - palette[i].peBlue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best = static_cast<uint8_t>(i);
            best_distance = distance;
        }
    }
    return best;
}

struct Mapped {
    std::vector<uint8_t> indices;
    size_t see_through = 0;
    size_t not_in_palette = 0;  // colours, each counted once
};

Mapped map_to_palette(const Rgba& rgba, const std::array<PALETTEENTRY, 256>& palette)
{
    Mapped mapped;
    mapped.indices.resize(static_cast<size_t>(rgba.width) * static_cast<size_t>(rgba.height));
    std::unordered_map<uint32_t, uint8_t> matched;
    for (size_t i = 0; i < mapped.indices.size(); ++i) {
        const uint8_t* p = &rgba.pixels[i * 4];
        if (p[3] == 0) {
            mapped.indices[i] = SEE_THROUGH;
            ++mapped.see_through;
            continue;
        }
        const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        auto [at, fresh] = matched.try_emplace(key, 0);
        if (fresh) {
            at->second = nearest(palette, p);
            const PALETTEENTRY& e = palette[at->second];
            if (e.peRed != p[0] || e.peGreen != p[1] || e.peBlue != p[2]) ++mapped.not_in_palette;
        }
        mapped.indices[i] = at->second;
    }
    return mapped;
}

// The game's image the output is named as; DATA_FILE_COUNT when none.
DataFile image_named(const std::string& name)
{
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        if (is_image(file) && name == data_file_name(file)) return file;
    }
    return DATA_FILE_COUNT;
}

// Written only as a new file; nothing half-written is left behind.
const char* write_new(const char* path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "wbx");
    if (!file) return errno == EEXIST ? ALREADY_THERE : std::strerror(errno);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (ok) return nullptr;
    const int saved = errno;
    std::remove(path);
    return std::strerror(saved);
}

}  // namespace

int import_picture(const char* picture, const char* output, std::FILE* out)
{
    const std::string path = output;
    const std::string name = path.substr(path.rfind('/') + 1);
    const DataFile file = image_named(name);
    if (file == DATA_FILE_COUNT) {
        const DataFile near = data_file_near(name);
        return refuse(path, std::string("not the name of one of the game's images") +
                                (near != DATA_FILE_COUNT && is_image(near) ? "; did you mean " +
                                 std::string(data_file_name(near)) + "?" : ""));
    }
    if (access(output, F_OK) == 0) return refuse(path, ALREADY_THERE);

    LoadedBitmap splash{};
    report_clear();
    if (!image_read(splash, DATA_SPLASH))
        return refuse("the splash", std::string(report_text()) + "; its palette is the one to import into");
    bmp_release(splash);  // the palette stays

    Rgba rgba;
    if (const std::string why = read_picture(picture, rgba); !why.empty()) return refuse(picture, why);
    if (!image_fault(file, 8, rgba.width, rgba.height).empty())
        return refuse(picture, std::to_string(rgba.width) + " x " + std::to_string(rgba.height) + ", not the " +
                                   image_size_text(file) + " of " + name);

    const Mapped mapped = map_to_palette(rgba, splash.palette);
    Palette colours{};
    for (size_t i = 0; i < colours.size(); ++i)
        colours[i] = Colour{splash.palette[i].peRed, splash.palette[i].peGreen, splash.palette[i].peBlue};
    if (const char* why = write_new(output, bmp_encode_8bit(rgba.width, rgba.height, mapped.indices.data(), colours)))
        return refuse(path, why);
    std::fprintf(out, "%s: %d x %d in the palette of %s; %zu pixel%s see-through, %zu colour%s not in that "
                 "palette taken to the nearest\n", output, rgba.width, rgba.height, data_path(DATA_SPLASH),
                 mapped.see_through, mapped.see_through == 1 ? "" : "s", mapped.not_in_palette,
                 mapped.not_in_palette == 1 ? "" : "s");
    return 0;
}
