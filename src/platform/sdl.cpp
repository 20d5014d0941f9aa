// The player's edge on SDL2, audio aside (sdl_audio.cpp): the window and the
// picture in it, its events, the keyboard and the clock.
//
// The picture is 8-bit; each present turns it into 32-bit pixels through the
// palette, straight into a streaming texture, and shows it as large as its
// shape fits: scaled up by the largest whole number with blocky pixels, then
// smoothed the rest of the way, so every pixel keeps its size and its edges
// stay crisp. Integer scaling shows whole multiples only, black bars around.
// Fullscreen on the desktop by default, Alt+Enter toggles a window of the
// largest whole multiple that fits the desktop. No vsync: the game paces
// itself and a vsynced present would stretch its frames to the display's
// refresh.
//
// Keys come from SDL's keyboard state, which SDL keeps for the focused window
// only: while the game's window has no focus every key reads as released
// (SDL lets go of all keys when focus leaves), so nothing sticks held. Game
// controllers add their buttons and stick to the same key state; SDL likewise
// ignores them while the window has no focus. Pads come and go through
// SDL's device events, at start-up as well as later.
//
// F12 asks for a picture of the screen: the edge keeps a copy of the last
// picture presented, which is what the player sees, and the game saves it.
//
// P and Pause ask for a pause, F1 for the keys, F2 for the best runs; while
// paused the edge shows the last picture dimmed with PAUSED, the keys or the
// table over it, drawn on the way to the screen only. A new best run's line
// shows over the running game the same way.
//
// Where OpenGL is Mesa's software rasteriser (Xvfb, virtual machines, remote
// desktops), SDL's software renderer shows the same picture in half the time
// and a third of the memory; SDL_RENDER_DRIVER, when set, still decides.
#include <SDL.h>
#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/report.h"
#include "platform/overlay_letters.h"
#include "platform/platform.h"
#include "platform/sdl_edge.h"

// Pads played at once; one more plugged in is not opened.
constexpr size_t MAX_PADS = 8;

static SDL_Window* window;           // the one window, while open
static SDL_Renderer* renderer;       // the window's
static SDL_Texture* texture;         // the picture in 32-bit pixels
static SDL_Texture* filled;          // the picture at the size it fills, when not a whole multiple
static int picture_width;            // the texture's size, the picture's
static int picture_height;
static bool fullscreen;              // the window is fullscreen now
static bool open_fullscreen = true;  // the window opens fullscreen (the player's setting)
static bool integer_scale;           // whole multiples only, letterboxed (the player's setting)
static PlatformOverlay overlay;      // shown over the dimmed picture while paused
static std::vector<std::string> table_lines;  // the best runs' overlay
static std::string notice_line;              // over the running game while not empty
static bool picture_shown;           // the texture holds a picture worth repainting
static bool hide_return;             // RETURN reads released until let go (see key_state_from_sdl)
static bool keyboard_opened;         // platform_keyboard_open succeeded
static bool pads_opened;             // the game-controller subsystem is up
static uint32_t argb_table[PALETTE_ENTRIES];            // the presented palette as ARGB8888
static std::array<SDL_GameController*, MAX_PADS> pads;  // open pads; null slots free
// One past the tick Back went down on each pad; 0 while it is up.
static std::array<uint64_t, MAX_PADS> back_down_since;
static std::vector<uint8_t> shown_pixels;  // the last picture presented
static Palette shown_palette;              // and its colours

SDL_Window* sdl_edge_window() { return window; }
SDL_Renderer* sdl_edge_renderer() { return renderer; }
bool sdl_edge_fullscreen() { return fullscreen; }
int sdl_edge_pad_count()
{
    int n = 0;
    for (SDL_GameController* pad : pads) n += pad != nullptr;
    return n;
}

// --- pure parts -------------------------------------------------------------

SDL_Rect letterbox_rect(int out_w, int out_h, int picture_w, int picture_h)
{
    if (out_w <= 0 || out_h <= 0 || picture_w <= 0 || picture_h <= 0) return SDL_Rect{0, 0, 0, 0};
    const int scale = SDL_min(out_w / picture_w, out_h / picture_h);
    int w;
    int h;
    if (scale >= 1) {
        w = picture_w * scale;
        h = picture_h * scale;
    } else if (static_cast<int64_t>(out_w) * picture_h <= static_cast<int64_t>(out_h) * picture_w) {
        w = out_w;
        h = static_cast<int>(static_cast<int64_t>(out_w) * picture_h / picture_w);
    } else {
        h = out_h;
        w = static_cast<int>(static_cast<int64_t>(out_h) * picture_w / picture_h);
    }
    return SDL_Rect{(out_w - w) / 2, (out_h - h) / 2, w, h};
}

SDL_Rect fill_rect(int out_w, int out_h, int picture_w, int picture_h)
{
    if (out_w <= 0 || out_h <= 0 || picture_w <= 0 || picture_h <= 0) return SDL_Rect{0, 0, 0, 0};
    if (static_cast<int64_t>(out_w) * picture_h <= static_cast<int64_t>(out_h) * picture_w) {
        const int h = static_cast<int>(static_cast<int64_t>(out_w) * picture_h / picture_w);
        return SDL_Rect{0, (out_h - h) / 2, out_w, h};
    }
    const int w = static_cast<int>(static_cast<int64_t>(out_h) * picture_w / picture_h);
    return SDL_Rect{(out_w - w) / 2, 0, w, out_h};
}

int window_scale(int usable_w, int usable_h, int picture_w, int picture_h)
{
    if (picture_w <= 0 || picture_h <= 0) return 1;
    return SDL_max(1, SDL_min(usable_w / picture_w, usable_h / picture_h));
}

bool gl_renderer_is_software(const char* name)
{
    return name && (SDL_strstr(name, "llvmpipe") || SDL_strstr(name, "softpipe") || SDL_strstr(name, "swrast") ||
                    SDL_strstr(name, "Software Rasterizer"));
}

void palette_to_argb(const Colour* palette, uint32_t* argb)
{
    for (int i = 0; i < PALETTE_ENTRIES; ++i) {
        const Colour& c = palette[i];
        argb[i] = 0xFF000000u | static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
    }
}

void indices_to_argb(const uint8_t* pixels, int pitch, int width, int height, const uint32_t* argb,
                     uint8_t* target, int target_pitch)
{
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = pixels + static_cast<ptrdiff_t>(y) * pitch;
        auto* to = reinterpret_cast<uint32_t*>(target + static_cast<ptrdiff_t>(y) * target_pitch);
        for (int x = 0; x < width; ++x) to[x] = argb[from[x]];
    }
}

void key_state_from_sdl(const uint8_t* sdl_state, int count, bool* hide_return, uint8_t* key_state)
{
    std::memset(key_state, 0, 256);
    const int n = SDL_min(count, SDL_NUM_SCANCODES);
    for (int i = 0; i < n; ++i) {
        if (sdl_state[i] && pc_scan_codes[static_cast<size_t>(i)]) {
            key_state[pc_scan_codes[static_cast<size_t>(i)]] = PC_KEY_DOWN;
        }
    }
    const bool alt_held = (n > SDL_SCANCODE_LALT && sdl_state[SDL_SCANCODE_LALT]) ||
                          (n > SDL_SCANCODE_RALT && sdl_state[SDL_SCANCODE_RALT]);
    // RETURN pressed as part of Alt+Enter stays hidden until it is let go,
    // even when Alt comes up first and the toggle's event is still queued.
    if (!key_state[PC_SCAN_RETURN]) *hide_return = false;
    if (alt_held && key_state[PC_SCAN_RETURN]) *hide_return = true;
    if (alt_held || *hide_return) key_state[PC_SCAN_RETURN] = 0;
}

void key_state_add_pad(const PadReading& pad, uint8_t* key_state)
{
    for (size_t b = 0; b < pad.held.size(); ++b) {
        if (pad.held[b] && pad_codes[b]) key_state[pad_codes[b]] = PC_KEY_DOWN;
    }
    if (pad.back_held_ms >= PAD_BACK_HOLD_MS) key_state[PC_SCAN_ESCAPE] = PC_KEY_DOWN;
    if (pad.left_x <= -PAD_DEAD_ZONE) key_state[pad_codes[SDL_CONTROLLER_BUTTON_DPAD_LEFT]] = PC_KEY_DOWN;
    if (pad.left_x >= PAD_DEAD_ZONE) key_state[pad_codes[SDL_CONTROLLER_BUTTON_DPAD_RIGHT]] = PC_KEY_DOWN;
    if (pad.left_y <= -PAD_DEAD_ZONE) key_state[pad_codes[SDL_CONTROLLER_BUTTON_DPAD_UP]] = PC_KEY_DOWN;
    if (pad.left_y >= PAD_DEAD_ZONE) key_state[pad_codes[SDL_CONTROLLER_BUTTON_DPAD_DOWN]] = PC_KEY_DOWN;
}

// --- window and picture -----------------------------------------------------

void platform_choose_fullscreen(bool on) { open_fullscreen = on; }
bool platform_fullscreen() { return fullscreen; }
void platform_choose_integer_scale(bool on) { integer_scale = on; }

// Input reaches the game through the keyboard state alone; queuing the mouse,
// text and key events nobody takes would let a long play fill SDL's queue (one
// event is taken a frame) until the quit event itself no longer fits. Only the
// edge's own keys (Alt+Enter, F1, F2, F12, P, Pause, ESC) and pads coming and
// going get through.
static int SDLCALL keep_event(void*, SDL_Event* event)
{
    const Uint32 type = event->type;
    if (type == SDL_KEYDOWN) {
        if (event->key.repeat) return 0;
        const SDL_Scancode key = event->key.keysym.scancode;
        return (key == SDL_SCANCODE_RETURN && (event->key.keysym.mod & KMOD_ALT)) || key == SDL_SCANCODE_F12 ||
               key == SDL_SCANCODE_P || key == SDL_SCANCODE_PAUSE || key == SDL_SCANCODE_ESCAPE ||
               key == SDL_SCANCODE_F1 || key == SDL_SCANCODE_F2;
    }
    // SDL makes a controller's device events out of the joystick's, behind
    // this filter: both must pass.
    if (type == SDL_JOYDEVICEADDED || type == SDL_JOYDEVICEREMOVED || type == SDL_CONTROLLERDEVICEADDED ||
        type == SDL_CONTROLLERDEVICEREMOVED) {
        return 1;
    }
    if (type >= SDL_KEYUP && type < SDL_AUDIODEVICEADDED) return 0;  // keys, text, mouse, pads, touch, drops
    if (type == SDL_SENSORUPDATE) return 0;
    return 1;
}

static void destroy_window()
{
    if (filled) SDL_DestroyTexture(filled);
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    filled = nullptr;
    renderer = nullptr;
    window = nullptr;
    picture_shown = false;
    shown_pixels = std::vector<uint8_t>();
}

// An X server with none of the extensions a GPU's OpenGL works through (DRI2,
// DRI3, NVIDIA's own) can only have OpenGL drawn on the processor. Asking it
// costs nothing; asking OpenGL itself loads Mesa's rasteriser, which stays
// in memory (some 60 MB) even once it is put aside. libX11 is SDL's own,
// already loaded.
static bool x_server_lacks_gpu_opengl()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (PAGE_IS_DISPLAY || !driver || SDL_strcmp(driver, "x11") != 0) return false;
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!xlib) return false;
    using OpenDisplay = void* (*)(const char*);
    using QueryExtension = int (*)(void*, const char*, int*, int*, int*);
    using CloseDisplay = int (*)(void*);
    auto open_display = reinterpret_cast<OpenDisplay>(dlsym(xlib, "XOpenDisplay"));
    auto query = reinterpret_cast<QueryExtension>(dlsym(xlib, "XQueryExtension"));
    auto close_display = reinterpret_cast<CloseDisplay>(dlsym(xlib, "XCloseDisplay"));
    bool lacks = false;
    void* display = open_display && query && close_display ? open_display(nullptr) : nullptr;
    if (display) {
        int opcode = 0, event = 0, error = 0;
        lacks = !query(display, "DRI2", &opcode, &event, &error) && !query(display, "DRI3", &opcode, &event, &error) &&
                !query(display, "NV-GLX", &opcode, &event, &error);
        close_display(display);
    }
    dlclose(xlib);
    return lacks;
}

// An OpenGL renderer whose driver draws on the processor.
static bool renderer_is_software_opengl(SDL_Renderer* candidate)
{
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(candidate, &info) != 0 || SDL_strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned int GL_RENDERER_NAME = 0x1F01;
    const unsigned char* name = get_string ? get_string(GL_RENDERER_NAME) : nullptr;
    if (!name) return false;
    return gl_renderer_is_software(reinterpret_cast<const char*>(name));
}

static int fail_window()
{
    report_failure("display", SDL_GetError());
    destroy_window();
    SDL_SetEventFilter(nullptr, nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
}

// Names the display servers the environment points at, for the one line that
// says none of them could be opened.
static void report_unopened_display(const char* x_display, const char* wayland_display)
{
    char why[512];
    if (wayland_display && x_display)
        std::snprintf(why, sizeof why,
                      "could not open the Wayland display '%s' (WAYLAND_DISPLAY) nor the X display '%s' (DISPLAY)",
                      wayland_display, x_display);
    else if (wayland_display)
        std::snprintf(why, sizeof why, "could not open the Wayland display '%s' (WAYLAND_DISPLAY)", wayland_display);
    else if (x_display)
        std::snprintf(why, sizeof why, "could not open the X display '%s' (DISPLAY)", x_display);
    else
        std::snprintf(why, sizeof why, "no display to open (DISPLAY and WAYLAND_DISPLAY are not set)");
    report_failure("display", why);
}

int platform_window_open(const char* title, int width, int height)
{
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const char* x_display = SDL_getenv("DISPLAY");
    const char* wayland_display = SDL_getenv("WAYLAND_DISPLAY");
    if (!asked && !x_display && !wayland_display && !PAGE_IS_DISPLAY) {
        report_failure("display", "no display to open (DISPLAY and WAYLAND_DISPLAY are not set)");
        return 0;
    }
    // SDL tries Wayland first, and the Wayland library, with no server named,
    // prints a complaint of its own before SDL moves on to X: with only an X
    // display named, X is the one driver tried.
    if (!asked && !wayland_display && !PAGE_IS_DISPLAY) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (asked) report_failure("display", SDL_GetError());
        else report_unopened_display(x_display, wayland_display);
        return 0;
    }
    // When the named servers cannot be opened SDL falls back to drivers that
    // show nothing; a game nobody can see or quit is refused unless such a
    // driver was asked for by name (as the tests do).
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
        !(asked && SDL_strcasecmp(asked, driver) == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        report_unopened_display(x_display, wayland_display);
        return 0;
    }
    SDL_SetEventFilter(keep_event, nullptr);
    SDL_StopTextInput();
    // Blocky pixels, as the picture was drawn.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");

    // Fullscreen, the window is first made the size of the screen: without a
    // window manager nobody grants the request, and the window stays as made.
    SDL_Rect place{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height};
    SDL_Rect usable{0, 0, width, height};
    if (open_fullscreen) SDL_GetDisplayBounds(0, &place);
    else if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        const int scale = window_scale(usable.w, usable.h, width, height);
        place.w = width * scale;
        place.h = height * scale;
    }
    const Uint32 mode = open_fullscreen ? SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    window = SDL_CreateWindow(title, place.x, place.y, place.w, place.h, mode | SDL_WINDOW_RESIZABLE);
    if (!window) return fail_window();
    const bool choose = !SDL_getenv("SDL_RENDER_DRIVER");
    const bool software_gl = choose && x_server_lacks_gpu_opengl();
    renderer = software_gl ? nullptr : SDL_CreateRenderer(window, -1, 0);
    if (!software_gl && !renderer) return fail_window();
    if (software_gl || (choose && renderer_is_software_opengl(renderer))) {
        if (renderer) SDL_DestroyRenderer(renderer);
        // The window's surface would otherwise be an OpenGL texture again.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer) return fail_window();
    }
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture) return fail_window();
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    picture_width = width;
    picture_height = height;
    shown_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    fullscreen = open_fullscreen;
    overlay = PLATFORM_OVERLAY_NONE;
    // The pointer belongs to the desktop in a window, and nowhere fullscreen.
    SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);

    // Black until the first picture, not whatever the screen held.
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    return 1;
}

void platform_window_close()
{
    if (!window && !renderer && !texture) return;
    destroy_window();
    SDL_SetEventFilter(nullptr, nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The window goes last at shut-down; with nothing else of SDL left, let
    // it give back what it keeps beyond its subsystems (its D-Bus link).
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

// What the overlays say. The keys are listed in the picture's own lines.
static const char PAUSED_WORD[] = "PAUSED";
static const char PAUSED_HINT[] = "P to play on, ESC to quit";
static const char* const KEYS_LINES[] = {
    "UP           thrust",
    "DOWN         brake",
    "LEFT, RIGHT  turn",
    "SPACE        fire",
    "RETURN       start, next level",
    "P or Pause   pause",
    "F1           these keys",
    "F2           the best runs",
    "F12          screenshot",
    "Alt+Enter    window or fullscreen",
    "ESC          quit",
    "",
    "Pad: D-pad or left stick, A fire,",
    "B brake, Start; Back held 1 s quits",
    "",
    "F1 to play on, ESC to quit",
};
// A letter's cell, in the picture's pixels; a letter and its gap take six
// cells across, a line of small text ten down.
constexpr int WORD_CELL = 6;
constexpr int TEXT_CELL = 2;
constexpr int LINE_CELLS = 10;
// How far the notice line stands from the picture's top, in its cells.
constexpr int NOTICE_TOP_CELLS = 15;

// How many letters `text` shows (an em dash is one).
static int text_letters(const char* text)
{
    int letters = 0;
    for (int bytes = 1; *text; text += bytes, ++letters) overlay_letter(text, bytes);
    return letters;
}

// Adds a box for every lit cell of `text`, its top-left corner at (left, top).
static void text_boxes(const char* text, int left, int top, int cell, std::vector<SDL_Rect>& boxes)
{
    int bytes = 1;
    for (int i = 0; *text; text += bytes, ++i) {
        const uint8_t* rows = overlay_letter(text, bytes);
        for (int row = 0; rows && row < 8; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (!(rows[row] & (0x10 >> column))) continue;
                boxes.push_back({left + (i * 6 + column) * cell, top + row * cell, cell, cell});
            }
        }
    }
}

static void dim(const SDL_Rect& area)
{
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 160);
    SDL_RenderFillRect(renderer, &area);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
}

static void fill_boxes(const std::vector<SDL_Rect>& boxes)
{
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderFillRects(renderer, boxes.data(), static_cast<int>(boxes.size()));
}

// Small text, line under line, the block in the middle of the picture.
static void lines_boxes(const char* const* lines, int count, const SDL_Rect& target, int small,
                        std::vector<SDL_Rect>& boxes)
{
    int longest = 0;
    for (int i = 0; i < count; ++i) longest = SDL_max(longest, text_letters(lines[i]));
    const int left = target.x + (target.w - (6 * longest - 1) * small) / 2;
    const int top = target.y + (target.h - (count * LINE_CELLS - 3) * small) / 2;
    for (int i = 0; i < count; ++i) text_boxes(lines[i], left, top + i * LINE_CELLS * small, small, boxes);
}

// Dims the picture where it lies on the screen and writes the overlay over
// it, scaled with it.
static void draw_overlay(const SDL_Rect& target)
{
    dim(target);
    auto cell_of = [&](int cells) { return SDL_max(1, cells * target.w / SDL_max(1, picture_width)); };
    std::vector<SDL_Rect> boxes;
    const int small = cell_of(TEXT_CELL);
    if (overlay == PLATFORM_OVERLAY_PAUSED) {
        const int big = cell_of(WORD_CELL);
        const int word_w = (6 * static_cast<int>(sizeof PAUSED_WORD - 1) - 1) * big;
        const int hint_w = (6 * static_cast<int>(sizeof PAUSED_HINT - 1) - 1) * small;
        const int top = target.y + (target.h - 7 * big) / 2;
        text_boxes(PAUSED_WORD, target.x + (target.w - word_w) / 2, top, big, boxes);
        text_boxes(PAUSED_HINT, target.x + (target.w - hint_w) / 2, top + 7 * big + 5 * small, small, boxes);
    } else if (overlay == PLATFORM_OVERLAY_KEYS) {
        lines_boxes(KEYS_LINES, static_cast<int>(SDL_arraysize(KEYS_LINES)), target, small, boxes);
    } else {
        std::vector<const char*> lines;
        for (const std::string& line : table_lines) lines.push_back(line.c_str());
        lines_boxes(lines.data(), static_cast<int>(lines.size()), target, small, boxes);
    }
    fill_boxes(boxes);
}

// The notice over the running game: its line on a dimmed band near the top.
static void draw_notice(const SDL_Rect& target)
{
    const int cell = SDL_max(1, TEXT_CELL * target.w / SDL_max(1, picture_width));
    const int width = (6 * text_letters(notice_line.c_str()) - 1) * cell;
    const int left = target.x + (target.w - width) / 2;
    const int top = target.y + NOTICE_TOP_CELLS * cell;
    dim(SDL_Rect{left - 3 * cell, top - 3 * cell, width + 6 * cell, 13 * cell});
    std::vector<SDL_Rect> boxes;
    text_boxes(notice_line.c_str(), left, top, cell, boxes);
    fill_boxes(boxes);
}

// One axis of a fill: for each pixel of the final size, the picture's pixel
// it starts from and how much of the next one it takes, of 256. The picture
// is taken as enlarged `whole` times with blocky pixels and smoothed from
// there, so only the pixels where two of the picture's meet are mixed.
struct FillStep {
    int from;
    uint32_t next_share;
};
static std::vector<FillStep> column_steps;  // made again only when the filled size changes
static std::vector<FillStep> row_steps;

static void fill_steps(int picture, int final_size, int whole, std::vector<FillStep>& steps)
{
    const int enlarged = picture * whole;
    steps.resize(static_cast<size_t>(final_size));
    for (int x = 0; x < final_size; ++x) {
        const double at = SDL_max(0.0, (x + 0.5) * enlarged / final_size - 0.5);
        const int first = SDL_min(static_cast<int>(at), enlarged - 1);
        const bool meet = first + 1 < enlarged && first / whole != (first + 1) / whole;
        steps[static_cast<size_t>(x)] = {first / whole, meet ? static_cast<uint32_t>((at - first) * 256 + 0.5) : 0u};
    }
}

static uint32_t mix(uint32_t a, uint32_t b, uint32_t share)
{
    const uint32_t keep = 256 - share;
    const uint32_t red_blue = (((a & 0xFF00FFu) * keep + (b & 0xFF00FFu) * share) >> 8) & 0xFF00FFu;
    const uint32_t green = (((a & 0xFF00u) * keep + (b & 0xFF00u) * share) >> 8) & 0xFF00u;
    return 0xFF000000u | red_blue | green;
}

// The last picture presented, through the palette, at the size it fills.
// Each of the picture's rows is widened once, into one of two rows kept.
static void fill_pixels(uint8_t* target, int target_pitch)
{
    static std::vector<uint32_t> wide[2];
    int wide_row[2] = {-1, -1};
    auto widened = [&](int row) -> const uint32_t* {
        const int slot = wide_row[0] == row ? 0 : wide_row[1] == row ? 1 : wide_row[0] < wide_row[1] ? 0 : 1;
        std::vector<uint32_t>& out = wide[slot];
        if (wide_row[slot] == row) return out.data();
        wide_row[slot] = row;
        out.resize(column_steps.size());
        const uint8_t* from = &shown_pixels[static_cast<size_t>(row) * static_cast<size_t>(picture_width)];
        for (size_t x = 0; x < out.size(); ++x) {
            const FillStep step = column_steps[x];
            const uint32_t colour = argb_table[from[step.from]];
            out[x] = step.next_share ? mix(colour, argb_table[from[step.from + 1]], step.next_share) : colour;
        }
        return out.data();
    };
    for (size_t y = 0; y < row_steps.size(); ++y) {
        auto* to = reinterpret_cast<uint32_t*>(target + static_cast<ptrdiff_t>(y) * target_pitch);
        const FillStep step = row_steps[y];
        const uint32_t* first = widened(step.from);
        if (!step.next_share) {
            std::memcpy(to, first, column_steps.size() * sizeof *to);
            continue;
        }
        const uint32_t* next = widened(step.from + 1);
        for (size_t x = 0; x < column_steps.size(); ++x) to[x] = mix(first[x], next[x], step.next_share);
    }
}

// Copies the picture onto `target`: whole multiples straight from the
// texture with blocky pixels, any other size filled on the processor (a
// renderer's own smoothing, drawn through a whole multiple, costs twice the
// extra time under SDL's software renderer).
static void copy_picture(const SDL_Rect& target)
{
    const int whole = SDL_max(1, SDL_min(target.w / picture_width, target.h / picture_height));
    if (integer_scale || (target.w == whole * picture_width && target.h == whole * picture_height)) {
        SDL_RenderCopy(renderer, texture, nullptr, &target);
        return;
    }
    int w = 0;
    int h = 0;
    if (!filled || SDL_QueryTexture(filled, nullptr, nullptr, &w, &h) != 0 || w != target.w || h != target.h) {
        if (filled) SDL_DestroyTexture(filled);
        filled = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, target.w, target.h);
        if (!filled) return;
        SDL_SetTextureBlendMode(filled, SDL_BLENDMODE_NONE);
        fill_steps(picture_width, target.w, whole, column_steps);
        fill_steps(picture_height, target.h, whole, row_steps);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(filled, nullptr, &pixels, &pitch) != 0) return;
    fill_pixels(static_cast<uint8_t*>(pixels), pitch);
    SDL_UnlockTexture(filled);
    SDL_RenderCopy(renderer, filled, nullptr, &target);
}

// Shows what the texture holds, fitted to the window's size as SDL last
// learnt it from the window system.
static void show_texture()
{
    int out_w = 0;
    int out_h = 0;
    if (SDL_GetRendererOutputSize(renderer, &out_w, &out_h) != 0) return;
    const SDL_Rect target = integer_scale ? letterbox_rect(out_w, out_h, picture_width, picture_height)
                                          : fill_rect(out_w, out_h, picture_width, picture_height);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    copy_picture(target);
    if (overlay != PLATFORM_OVERLAY_NONE) {
        draw_overlay(target);
    } else if (!notice_line.empty()) {
        draw_notice(target);
    }
    SDL_RenderPresent(renderer);
}

void platform_present(const uint8_t* pixels, int pitch, int width, int height, const Colour* palette)
{
    if (!texture) return;
    palette_to_argb(palette, argb_table);
    void* target = nullptr;
    int target_pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &target, &target_pitch) != 0) return;
    indices_to_argb(pixels, pitch, SDL_min(width, picture_width), SDL_min(height, picture_height), argb_table,
                    static_cast<uint8_t*>(target), target_pitch);
    SDL_UnlockTexture(texture);
    const int rows = SDL_min(height, picture_height);
    const size_t row_bytes = static_cast<size_t>(SDL_min(width, picture_width));
    for (int y = 0; y < rows; ++y) {
        std::memcpy(&shown_pixels[static_cast<size_t>(y) * static_cast<size_t>(picture_width)],
                    pixels + static_cast<ptrdiff_t>(y) * pitch, row_bytes);
    }
    std::memcpy(shown_palette.data(), palette, sizeof shown_palette);
    picture_shown = true;
    show_texture();
}

// --- events -----------------------------------------------------------------

static void toggle_fullscreen()
{
    const int display_index = SDL_max(0, SDL_GetWindowDisplayIndex(window));
    if (fullscreen) {
        SDL_SetWindowFullscreen(window, 0);
        // A window of its own gets a frame to move and resize it by.
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_Rect usable{0, 0, picture_width, picture_height};
        SDL_GetDisplayUsableBounds(display_index, &usable);
        const int scale = window_scale(usable.w, usable.h, picture_width, picture_height);
        SDL_SetWindowSize(window, picture_width * scale, picture_height * scale);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    } else {
        SDL_SetWindowBordered(window, SDL_FALSE);
        // The screen's size first, for a desktop without a window manager.
        SDL_Rect screen{};
        if (SDL_GetDisplayBounds(display_index, &screen) == 0) {
            SDL_SetWindowPosition(window, screen.x, screen.y);
            SDL_SetWindowSize(window, screen.w, screen.h);
        }
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    fullscreen = !fullscreen;
    SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);
    // The RETURN of the chord is the window's, not the game's.
    hide_return = true;
    if (picture_shown) show_texture();
}

void platform_show_overlay(PlatformOverlay shown)
{
    overlay = shown;
    if (window && picture_shown) show_texture();
}

void platform_overlay_lines(const char* const* lines, int count)
{
    table_lines.assign(lines, lines + count);
    if (window && picture_shown && overlay == PLATFORM_OVERLAY_BEST_RUNS) show_texture();
}

void platform_show_notice(const char* line)
{
    notice_line = line ? line : "";
    if (window && picture_shown) show_texture();
}

PlatformPicture platform_picture()
{
    if (!picture_shown) return PlatformPicture{};
    return PlatformPicture{shown_pixels.data(), picture_width, picture_width, picture_height, shown_palette.data()};
}

static void open_pad(int device_index)
{
    if (!pads_opened || !SDL_IsGameController(device_index)) return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device_index);
    for (SDL_GameController* pad : pads) {
        if (pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return;  // already ours
    }
    for (SDL_GameController*& slot : pads) {
        if (slot) continue;
        slot = SDL_GameControllerOpen(device_index);
        back_down_since[static_cast<size_t>(&slot - pads.data())] = 0;
        if (!slot) report_warning("game controller", SDL_GetError());
        return;
    }
}

static void close_pad(SDL_JoystickID id)
{
    for (SDL_GameController*& pad : pads) {
        if (pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
            back_down_since[static_cast<size_t>(&pad - pads.data())] = 0;
        }
    }
}

PlatformEvent platform_poll_event()
{
    SDL_Event event;
    if (!SDL_PollEvent(&event)) return PLATFORM_EVENT_NONE;
    switch (event.type) {
    case SDL_QUIT:
        return PLATFORM_EVENT_QUIT;
    case SDL_KEYDOWN:  // only Alt+Enter, F1, F2, F12, P, Pause and ESC get past the filter
        if (event.key.keysym.scancode == SDL_SCANCODE_F12) return PLATFORM_EVENT_SCREENSHOT;
        if (event.key.keysym.scancode == SDL_SCANCODE_F1) return PLATFORM_EVENT_KEYS;
        if (event.key.keysym.scancode == SDL_SCANCODE_F2) return PLATFORM_EVENT_BEST_RUNS;
        if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) return PLATFORM_EVENT_ESCAPE;
        if (event.key.keysym.scancode == SDL_SCANCODE_RETURN) {
            if (!window) break;
            toggle_fullscreen();
            return PLATFORM_EVENT_FULLSCREEN;
        }
        return PLATFORM_EVENT_PAUSE;
    case SDL_CONTROLLERDEVICEADDED:
        open_pad(event.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        close_pad(event.cdevice.which);
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
            if (window && picture_shown) show_texture();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            return PLATFORM_EVENT_FOCUS_LOST;
        default:
            break;
        }
        break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The texture may have lost its pixels; the next frame refills it.
        break;
    default:
        break;
    }
    return PLATFORM_EVENT_OTHER;
}

void platform_wait_event(uint32_t ms) { SDL_WaitEventTimeout(nullptr, static_cast<int>(ms)); }

void platform_window_destroy()
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

// --- keyboard ---------------------------------------------------------------

int platform_keyboard_open()
{
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
        report_failure("keyboard", SDL_GetError());
        return 0;
    }
    keyboard_opened = true;
    hide_return = false;
    // Without pads the keyboard still plays; the pads already plugged in
    // announce themselves with the same event as those plugged in later.
    pads_opened = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!pads_opened) report_warning("game controllers", SDL_GetError());
    return 1;
}

void platform_keyboard_read(uint8_t* key_state)
{
    SDL_PumpEvents();
    int count = 0;
    const Uint8* sdl_state = SDL_GetKeyboardState(&count);
    key_state_from_sdl(sdl_state, count, &hide_return, key_state);
    for (SDL_GameController*& pad : pads) {
        if (!pad) continue;
        PadReading reading;
        for (size_t b = 0; b < reading.held.size(); ++b) {
            if (pad_codes[b]) {
                reading.held[b] = SDL_GameControllerGetButton(pad, static_cast<SDL_GameControllerButton>(b)) != 0;
            }
        }
        uint64_t& since = back_down_since[static_cast<size_t>(&pad - pads.data())];
        if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_BACK)) {
            const uint64_t now = SDL_GetTicks64() + 1;
            if (since == 0) since = now;
            reading.back_held_ms = static_cast<uint32_t>(SDL_min(now - since, uint64_t{UINT32_MAX}));
        } else {
            since = 0;
        }
        reading.left_x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
        reading.left_y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
        key_state_add_pad(reading, key_state);
    }
}

void platform_keyboard_close()
{
    if (!keyboard_opened) return;
    for (SDL_GameController*& pad : pads) {
        if (pad) SDL_GameControllerClose(pad);
        pad = nullptr;
    }
    back_down_since.fill(0);
    if (pads_opened) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    pads_opened = false;
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
    keyboard_opened = false;
}

// --- clock ------------------------------------------------------------------

uint32_t platform_ticks() { return static_cast<uint32_t>(SDL_GetTicks64()); }

// The frame wait spins on the tick count, so a frame ends on its millisecond;
// the pause instruction only tells the processor so.
void platform_spin() { SDL_CPUPauseInstruction(); }

void platform_sleep(uint32_t ms) { SDL_Delay(ms); }

PlatformEvent platform_delay(uint32_t ms)
{
    const uint64_t end = SDL_GetTicks64() + ms;
    for (uint64_t now = SDL_GetTicks64(); now < end; now = SDL_GetTicks64()) {
        const PlatformEvent event = platform_poll_event();
        if (event == PLATFORM_EVENT_QUIT || event == PLATFORM_EVENT_ESCAPE) return event;
        if (event == PLATFORM_EVENT_NONE) SDL_WaitEventTimeout(nullptr, static_cast<int>(end - now));
    }
    return PLATFORM_EVENT_NONE;
}
