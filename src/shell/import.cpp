// The importer. Painting programs and converters keep their own palette
// order, and the game shows every image's indices in the splash's colours:
// here each pixel is matched by its colour instead, so the picture shows as
// it was painted.
#include "shell/import.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/data_files.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "graphics/image_demands.h"

namespace {

constexpr size_t PICTURE_FILE_LIMIT = size_t{64} << 20;
constexpr uint8_t SEE_THROUGH = 0;
constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

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

// A BMP as red, green, blue and alpha: a palette image's index 0 is
// see-through, as in every image the game reads.
const char* bmp_to_rgba(const LoadedBitmap& bmp, Rgba& out)
{
    const BITMAPINFOHEADER& h = bmp.info_header;
    const int bits = h.biBitCount;
    if (h.biCompression == BI_BITFIELDS || (bits != 8 && bits != 24 && bits != 32))
        return "a BMP of 16 bits or with colour masks; save it as PNG or as a 24-bit BMP";
    out.width = h.biWidth;
    out.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const auto stride = static_cast<size_t>(bmp_row_stride(h.biWidth, bits));
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 4);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* p = bmp.pixels + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * (bits / 8);
            uint8_t* q = &out.pixels[(static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)) * 4];
            if (bits == 8) {
                const PALETTEENTRY& e = bmp.palette[p[0]];
                q[0] = e.peRed, q[1] = e.peGreen, q[2] = e.peBlue, q[3] = p[0] == SEE_THROUGH ? 0 : 255;
            } else {
                q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 255;
            }
        }
    return nullptr;
}

// The picture whatever its kind; null, or why it cannot be read.
const char* read_picture(const char* path, Rgba& out)
{
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file(path, PICTURE_FILE_LIMIT, bytes, &why)) return why;
    if (bytes.size() >= sizeof PNG_SIGNATURE && std::memcmp(bytes.data(), PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0)
        return png_decode_rgba(bytes, out.pixels, out.width, out.height, &why) ? nullptr : why;
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') return "neither a PNG nor a BMP file";
    LoadedBitmap bmp{};
    report_clear();
    if (!bmp_read(bmp, path)) {
        static std::string reason;
        reason = report_text();
        reason.erase(0, std::strlen(path) + 2);  // the report starts with the path
        return reason.c_str();
    }
    why = bmp_to_rgba(bmp, out);
    bmp_release(bmp);
    return why;
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

}  // namespace

int import_picture(const char* picture, const char* output, std::FILE* out)
{
    const std::string path = output;
    const std::string name = path.substr(path.rfind('/') + 1);
    int target = DATA_FILE_COUNT;
    for (int i = 0; i < DATA_FILE_COUNT; ++i)
        if (is_image(static_cast<DataFile>(i)) && name == data_file_name(static_cast<DataFile>(i))) target = i;
    if (target == DATA_FILE_COUNT) {
        const DataFile near = data_file_near(name);
        return refuse(path, std::string("not the name of one of the game's images") +
                                (near != DATA_FILE_COUNT && is_image(near) ? "; did you mean " +
                                 std::string(data_file_name(near)) + "?" : ""));
    }
    const auto file = static_cast<DataFile>(target);
    if (access(output, F_OK) == 0) return refuse(path, "already exists; an import never replaces a file");

    LoadedBitmap splash{};
    report_clear();
    if (!image_read(splash, DATA_SPLASH))
        return refuse("the splash", std::string(report_text()) + "; its palette is the one to import into");
    const std::string palette_from = data_path(DATA_SPLASH);
    bmp_release(splash);

    Rgba rgba;
    if (const char* why = read_picture(picture, rgba)) return refuse(picture, why);
    if (!image_fault(file, 8, rgba.width, rgba.height).empty())
        return refuse(picture, std::to_string(rgba.width) + " x " + std::to_string(rgba.height) + ", not the " +
                                   image_size_text(file) + " of " + name);

    std::vector<uint8_t> indices(static_cast<size_t>(rgba.width) * static_cast<size_t>(rgba.height));
    std::unordered_map<uint32_t, uint8_t> matched;
    size_t see_through = 0, not_in_palette = 0;
    for (size_t i = 0; i < indices.size(); ++i) {
        const uint8_t* p = &rgba.pixels[i * 4];
        if (p[3] == 0) {
            indices[i] = SEE_THROUGH;
            ++see_through;
            continue;
        }
        const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        auto [at, fresh] = matched.try_emplace(key, 0);
        if (fresh) {
            at->second = nearest(splash.palette, p);
            const PALETTEENTRY& e = splash.palette[at->second];
            if (e.peRed != p[0] || e.peGreen != p[1] || e.peBlue != p[2]) ++not_in_palette;
        }
        indices[i] = at->second;
    }

    Palette colours{};
    for (size_t i = 0; i < colours.size(); ++i)
        colours[i] = Colour{splash.palette[i].peRed, splash.palette[i].peGreen, splash.palette[i].peBlue};
    const std::vector<uint8_t> bytes = bmp_encode_8bit(rgba.width, rgba.height, indices.data(), colours);
    std::FILE* written = std::fopen(output, "wbx");
    if (!written) return refuse(path, errno == EEXIST ? "already exists; an import never replaces a file"
                                                      : std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), written) == bytes.size();
    ok = std::fclose(written) == 0 && ok;
    if (!ok) {
        const int saved = errno;
        std::remove(output);
        return refuse(path, std::strerror(saved));
    }
    std::fprintf(out, "%s: %d x %d in the palette of %s; %zu pixels see-through, %zu colours not in that palette "
                 "taken to their nearest\n", output, rgba.width, rgba.height, palette_from.c_str(), see_through,
                 not_in_palette);
    return 0;
}
