// PNG output through libpng. libpng reports its errors by a long jump, so the
// writing itself stays in one plain function with nothing to unwind.
#include "formats/png.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

struct PngImage {
    int width;
    int height;
    int colour_type;  // PNG_COLOR_TYPE_*
    const uint8_t* rows;
    size_t pitch;
    const Palette* palette;  // for PNG_COLOR_TYPE_PALETTE
};

// libpng would print its own line ("libpng error: Write Error") before the
// caller's; the caller says what failed, once, in the game's words.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

int write_png(std::FILE* file, const PngImage& image)
{
    if (!file || image.width <= 0 || image.height <= 0 || !image.rows) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 image.colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[PALETTE_ENTRIES];
    if (image.colour_type == PNG_COLOR_TYPE_PALETTE) {
        for (size_t i = 0; i < PALETTE_ENTRIES; ++i) colours[i] = png_color{(*image.palette)[i].r, (*image.palette)[i].g,
                                                                 (*image.palette)[i].b};
        png_set_PLTE(png, info, colours, PALETTE_ENTRIES);
    }
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        png_write_row(png, image.rows + static_cast<size_t>(y) * image.pitch);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file) == 0 && !std::ferror(file) ? 1 : 0;
}

// A whole file at `path`; a file left half-written is removed. What is not a
// plain file (a device, a pipe) is only written to, never removed.
int write_png_file(const char* path, const PngImage& image)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    struct stat st{};
    const bool plain = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    int ok = write_png(file, image);
    if (std::fclose(file) != 0) ok = 0;
    if (!ok && plain) {
        const int saved = errno;
        std::remove(path);
        errno = saved;
    }
    return ok;
}

}  // namespace

int png_write_indexed(std::FILE* file, int width, int height, const uint8_t* pixels, size_t pitch,
                      const Palette& palette)
{
    return write_png(file, PngImage{width, height, PNG_COLOR_TYPE_PALETTE, pixels, pitch, &palette});
}

int png_write_indexed(const char* path, int width, int height, const uint8_t* pixels, size_t pitch,
                      const Palette& palette)
{
    return write_png_file(path, PngImage{width, height, PNG_COLOR_TYPE_PALETTE, pixels, pitch, &palette});
}

int png_write_rgb(const char* path, int width, int height, const uint8_t* rgb)
{
    return write_png_file(path, PngImage{width, height, PNG_COLOR_TYPE_RGB, rgb, static_cast<size_t>(width) * 3,
                                         nullptr});
}

int png_write_rgba(const char* path, int width, int height, const uint8_t* rgba)
{
    return write_png_file(path, PngImage{width, height, PNG_COLOR_TYPE_RGB_ALPHA, rgba,
                                         static_cast<size_t>(width) * 4, nullptr});
}

int png_decode_rgba(const std::vector<uint8_t>& file, std::vector<uint8_t>& rgba, int& width, int& height,
                    const char** why)
{
    // libpng's own reader, which reports its faults without a long jump.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    *why = nullptr;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        *why = "not a PNG file";
    } else if (image.width > PNG_READ_MAX_SIDE || image.height > PNG_READ_MAX_SIDE) {
        *why = "PNG picture larger than 8192 pixels on a side";
    } else {
        image.format = PNG_FORMAT_RGBA;
        rgba.assign(PNG_IMAGE_SIZE(image), 0);
        if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) *why = "PNG picture damaged or cut short";
    }
    png_image_free(&image);
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return *why ? 0 : 1;
}
