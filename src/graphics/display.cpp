// The display: its two buffers, the one palette, the splash, and the screen
// clip.
#include "graphics/display.h"

#include <SDL.h>

#include <cstddef>
#include <string>
#include <utility>

#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "platform/platform.h"

Display display;  // zeroed again by display_release

static_assert(sizeof(Colour) == sizeof(SDL_Color) && offsetof(Colour, b) == offsetof(SDL_Color, b),
              "the edge shows SDL's palette as it stands");

static void present_visible()
{
    const auto* colours = reinterpret_cast<const Colour*>(display.display_palette->colors);
    platform_present(static_cast<const uint8_t*>(display.primary_surface->pixels), display.primary_surface->pitch,
                     SCREEN_WIDTH, SCREEN_HEIGHT, colours);
}

int display_init()
{
    const std::string font = text_find_font();
    if (font.empty()) {
        report_failure("font", (std::string(TEXT_FONT_NAME) + " found neither through fontconfig nor at " +
                                TEXT_FONT_PATH + "; install fonts-dejavu-core")
                                   .c_str());
        return 0;
    }
    // Checked before the font library opens it, which would wait on a pipe.
    const char* why = "cannot open the font";
    if (!check_regular(font.c_str(), &why) || !text_init(font.c_str())) {
        report_failure(font.c_str(), why);
        return 0;
    }
    display.text_ready = 1;

    // One palette object for every surface: SDL then maps indices one to one.
    display.display_palette = SDL_AllocPalette(PALETTE_ENTRIES);
    if (!display.display_palette) {
        report_failure("display", SDL_GetError());
        return 0;
    }
    surface_set_palette(display.display_palette);

    display.primary_surface = surface_create(SCREEN_WIDTH, SCREEN_HEIGHT, -1);
    if (!display.primary_surface) {
        report_failure("display", "cannot make the visible buffer");
        return 0;
    }
    display.back_buffer = surface_create(SCREEN_WIDTH, SCREEN_HEIGHT, -1);
    if (!display.back_buffer) {
        report_failure("display", "cannot make the back buffer");
        return 0;
    }

    const Rect screen{0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
    clipper_attach(display.back_buffer, 1, &screen);
    return 1;
}

// The splash goes straight into the visible buffer, in its own colours.
int display_show_splash(const LoadedBitmap& splash)
{
    if (!surface_fill_from_cell(splash, display.primary_surface, SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0, 0)) return 0;
    SDL_Color colours[PALETTE_ENTRIES];
    for (int i = 0; i < PALETTE_ENTRIES; ++i) {
        colours[i] = SDL_Color{splash.palette[i].peRed, splash.palette[i].peGreen, splash.palette[i].peBlue,
                               SDL_ALPHA_OPAQUE};
    }
    SDL_SetPaletteColors(display.display_palette, colours, 0, PALETTE_ENTRIES);
    present_visible();
    return 1;
}

void display_flip()
{
    if (!display.primary_surface || !display.back_buffer) return;
    // The buffers exchange their memory; the surfaces, and the clip and blit
    // set-up SDL keeps on them, stay where they are.
    std::swap(display.primary_surface->pixels, display.back_buffer->pixels);
    present_visible();
}

void display_release()
{
    surface_release(display.intro_text_surface);
    surface_release(display.backdrop_surface);
    surface_release(display.back_buffer);
    surface_release(display.primary_surface);
    surface_set_palette(nullptr);
    if (display.display_palette) SDL_FreePalette(display.display_palette);
    if (display.text_ready) text_shutdown();
    display = Display{};
}
