// PNG files through libpng: written for the screenshots, the replay runner's
// picture dumps, the generator's previews and the desktop icon; read for the
// importer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/colour.h"

// Rows top first, `pitch` bytes apart; 1 when the whole file was written.
// An 8-bit picture with its 256-colour palette, as the game shows it.
int png_write_indexed(std::FILE* file, int width, int height, const uint8_t* pixels, size_t pitch,
                      const Palette& palette);
int png_write_indexed(const char* path, int width, int height, const uint8_t* pixels, size_t pitch,
                      const Palette& palette);
// Three bytes a pixel (red, green, blue), rows packed.
int png_write_rgb(const char* path, int width, int height, const uint8_t* rgb);
// Four bytes a pixel (red, green, blue, alpha), rows packed.
int png_write_rgba(const char* path, int width, int height, const uint8_t* rgba);

// The largest picture read, on either side: far past any of the game's.
constexpr int PNG_READ_MAX_SIDE = 8192;
// A PNG file's bytes as four bytes a pixel (red, green, blue, alpha), rows
// packed top first. 1, or 0 with *why naming the fault.
int png_decode_rgba(const std::vector<uint8_t>& file, std::vector<uint8_t>& rgba, int& width, int& height,
                    const char** why);
