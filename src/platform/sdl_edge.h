// The pure parts of the player's edge, apart from the SDL calls around them so
// that the SDL tests can check them directly: the scan-code table, the
// letterbox, the palette conversion and the key-state fill.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

#include "platform/platform.h"

// In the browser the page is the display and there is neither X nor ALSA to
// ask: a library looked for by dlopen there ends the page.
#ifdef __EMSCRIPTEN__
constexpr bool PAGE_IS_DISPLAY = true;
#else
constexpr bool PAGE_IS_DISPLAY = false;
#endif

// --- keyboard ---------------------------------------------------------------
// The game indexes its key state by the PC keyboard's scan codes (set 1, with
// 0x80 added for the E0-prefixed keys), so that key scripts and recordings
// name the same keys on every edge. SDL numbers physical keys by USB usage; this table turns one into
// the other. 0 means the key has no PC position.
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> make_pc_scan_codes()
{
    std::array<uint8_t, SDL_NUM_SCANCODES> t{};
    // The main block, row by row.
    t[SDL_SCANCODE_ESCAPE] = 0x01;
    t[SDL_SCANCODE_1] = 0x02;
    t[SDL_SCANCODE_2] = 0x03;
    t[SDL_SCANCODE_3] = 0x04;
    t[SDL_SCANCODE_4] = 0x05;
    t[SDL_SCANCODE_5] = 0x06;
    t[SDL_SCANCODE_6] = 0x07;
    t[SDL_SCANCODE_7] = 0x08;
    t[SDL_SCANCODE_8] = 0x09;
    t[SDL_SCANCODE_9] = 0x0A;
    t[SDL_SCANCODE_0] = 0x0B;
    t[SDL_SCANCODE_MINUS] = 0x0C;
    t[SDL_SCANCODE_EQUALS] = 0x0D;
    t[SDL_SCANCODE_BACKSPACE] = 0x0E;
    t[SDL_SCANCODE_TAB] = 0x0F;
    t[SDL_SCANCODE_Q] = 0x10;
    t[SDL_SCANCODE_W] = 0x11;
    t[SDL_SCANCODE_E] = 0x12;
    t[SDL_SCANCODE_R] = 0x13;
    t[SDL_SCANCODE_T] = 0x14;
    t[SDL_SCANCODE_Y] = 0x15;
    t[SDL_SCANCODE_U] = 0x16;
    t[SDL_SCANCODE_I] = 0x17;
    t[SDL_SCANCODE_O] = 0x18;
    t[SDL_SCANCODE_P] = 0x19;
    t[SDL_SCANCODE_LEFTBRACKET] = 0x1A;
    t[SDL_SCANCODE_RIGHTBRACKET] = 0x1B;
    t[SDL_SCANCODE_RETURN] = 0x1C;
    t[SDL_SCANCODE_LCTRL] = 0x1D;
    t[SDL_SCANCODE_A] = 0x1E;
    t[SDL_SCANCODE_S] = 0x1F;
    t[SDL_SCANCODE_D] = 0x20;
    t[SDL_SCANCODE_F] = 0x21;
    t[SDL_SCANCODE_G] = 0x22;
    t[SDL_SCANCODE_H] = 0x23;
    t[SDL_SCANCODE_J] = 0x24;
    t[SDL_SCANCODE_K] = 0x25;
    t[SDL_SCANCODE_L] = 0x26;
    t[SDL_SCANCODE_SEMICOLON] = 0x27;
    t[SDL_SCANCODE_APOSTROPHE] = 0x28;
    t[SDL_SCANCODE_GRAVE] = 0x29;
    t[SDL_SCANCODE_LSHIFT] = 0x2A;
    // The key left of RETURN: US keyboards call it backslash, ISO ones hash.
    // SDL may report either; it is one key in one place.
    t[SDL_SCANCODE_BACKSLASH] = 0x2B;
    t[SDL_SCANCODE_NONUSHASH] = 0x2B;
    t[SDL_SCANCODE_Z] = 0x2C;
    t[SDL_SCANCODE_X] = 0x2D;
    t[SDL_SCANCODE_C] = 0x2E;
    t[SDL_SCANCODE_V] = 0x2F;
    t[SDL_SCANCODE_B] = 0x30;
    t[SDL_SCANCODE_N] = 0x31;
    t[SDL_SCANCODE_M] = 0x32;
    t[SDL_SCANCODE_COMMA] = 0x33;
    t[SDL_SCANCODE_PERIOD] = 0x34;
    t[SDL_SCANCODE_SLASH] = 0x35;
    t[SDL_SCANCODE_RSHIFT] = 0x36;
    t[SDL_SCANCODE_KP_MULTIPLY] = 0x37;
    t[SDL_SCANCODE_LALT] = 0x38;
    t[SDL_SCANCODE_SPACE] = 0x39;
    t[SDL_SCANCODE_CAPSLOCK] = 0x3A;
    t[SDL_SCANCODE_F1] = 0x3B;
    t[SDL_SCANCODE_F2] = 0x3C;
    t[SDL_SCANCODE_F3] = 0x3D;
    t[SDL_SCANCODE_F4] = 0x3E;
    t[SDL_SCANCODE_F5] = 0x3F;
    t[SDL_SCANCODE_F6] = 0x40;
    t[SDL_SCANCODE_F7] = 0x41;
    t[SDL_SCANCODE_F8] = 0x42;
    t[SDL_SCANCODE_F9] = 0x43;
    t[SDL_SCANCODE_F10] = 0x44;
    t[SDL_SCANCODE_NUMLOCKCLEAR] = 0x45;
    t[SDL_SCANCODE_SCROLLLOCK] = 0x46;
    // The keypad.
    t[SDL_SCANCODE_KP_7] = 0x47;
    t[SDL_SCANCODE_KP_8] = 0x48;
    t[SDL_SCANCODE_KP_9] = 0x49;
    t[SDL_SCANCODE_KP_MINUS] = 0x4A;
    t[SDL_SCANCODE_KP_4] = 0x4B;
    t[SDL_SCANCODE_KP_5] = 0x4C;
    t[SDL_SCANCODE_KP_6] = 0x4D;
    t[SDL_SCANCODE_KP_PLUS] = 0x4E;
    t[SDL_SCANCODE_KP_1] = 0x4F;
    t[SDL_SCANCODE_KP_2] = 0x50;
    t[SDL_SCANCODE_KP_3] = 0x51;
    t[SDL_SCANCODE_KP_0] = 0x52;
    t[SDL_SCANCODE_KP_PERIOD] = 0x53;
    t[SDL_SCANCODE_NONUSBACKSLASH] = 0x56;  // the ISO key between left shift and Z
    t[SDL_SCANCODE_F11] = 0x57;
    t[SDL_SCANCODE_F12] = 0x58;
    t[SDL_SCANCODE_F13] = 0x64;
    t[SDL_SCANCODE_F14] = 0x65;
    t[SDL_SCANCODE_F15] = 0x66;
    // Japanese and Brazilian keys.
    t[SDL_SCANCODE_INTERNATIONAL2] = 0x70;  // kana
    t[SDL_SCANCODE_INTERNATIONAL1] = 0x73;  // ro, ABNT /?
    t[SDL_SCANCODE_INTERNATIONAL4] = 0x79;  // convert
    t[SDL_SCANCODE_INTERNATIONAL5] = 0x7B;  // no convert
    t[SDL_SCANCODE_INTERNATIONAL3] = 0x7D;  // yen
    t[SDL_SCANCODE_KP_COMMA] = 0x7E;        // ABNT keypad separator
    t[SDL_SCANCODE_KP_EQUALS] = 0x8D;
    // The extended keys: 0x80 + the code that follows their E0 prefix.
    t[SDL_SCANCODE_AUDIOPREV] = 0x90;
    t[SDL_SCANCODE_AUDIONEXT] = 0x99;
    t[SDL_SCANCODE_KP_ENTER] = 0x9C;
    t[SDL_SCANCODE_RCTRL] = 0x9D;
    // Two SDL names for the one mute key, depending on the driver.
    t[SDL_SCANCODE_MUTE] = 0xA0;
    t[SDL_SCANCODE_AUDIOMUTE] = 0xA0;
    t[SDL_SCANCODE_CALCULATOR] = 0xA1;
    t[SDL_SCANCODE_AUDIOPLAY] = 0xA2;
    t[SDL_SCANCODE_AUDIOSTOP] = 0xA4;
    t[SDL_SCANCODE_VOLUMEDOWN] = 0xAE;
    t[SDL_SCANCODE_VOLUMEUP] = 0xB0;
    t[SDL_SCANCODE_AC_HOME] = 0xB2;
    t[SDL_SCANCODE_KP_DIVIDE] = 0xB5;
    t[SDL_SCANCODE_PRINTSCREEN] = 0xB7;
    t[SDL_SCANCODE_RALT] = 0xB8;
    t[SDL_SCANCODE_PAUSE] = 0xC5;
    t[SDL_SCANCODE_HOME] = 0xC7;
    t[SDL_SCANCODE_UP] = 0xC8;
    t[SDL_SCANCODE_PAGEUP] = 0xC9;
    t[SDL_SCANCODE_LEFT] = 0xCB;
    t[SDL_SCANCODE_RIGHT] = 0xCD;
    t[SDL_SCANCODE_END] = 0xCF;
    t[SDL_SCANCODE_DOWN] = 0xD0;
    t[SDL_SCANCODE_PAGEDOWN] = 0xD1;
    t[SDL_SCANCODE_INSERT] = 0xD2;
    t[SDL_SCANCODE_DELETE] = 0xD3;
    t[SDL_SCANCODE_LGUI] = 0xDB;
    t[SDL_SCANCODE_RGUI] = 0xDC;
    t[SDL_SCANCODE_APPLICATION] = 0xDD;
    t[SDL_SCANCODE_POWER] = 0xDE;
    t[SDL_SCANCODE_SLEEP] = 0xDF;
    t[SDL_SCANCODE_AC_SEARCH] = 0xE5;
    t[SDL_SCANCODE_AC_BOOKMARKS] = 0xE6;
    t[SDL_SCANCODE_AC_REFRESH] = 0xE7;
    t[SDL_SCANCODE_AC_STOP] = 0xE8;
    t[SDL_SCANCODE_AC_FORWARD] = 0xE9;
    t[SDL_SCANCODE_AC_BACK] = 0xEA;
    t[SDL_SCANCODE_COMPUTER] = 0xEB;
    t[SDL_SCANCODE_MAIL] = 0xEC;
    t[SDL_SCANCODE_MEDIASELECT] = 0xED;
    return t;
}

inline constexpr std::array<uint8_t, SDL_NUM_SCANCODES> pc_scan_codes = make_pc_scan_codes();

constexpr uint8_t PC_KEY_DOWN = 0x80;  // the byte a held key reads as
constexpr uint8_t PC_SCAN_RETURN = pc_scan_codes[SDL_SCANCODE_RETURN];
constexpr uint8_t PC_SCAN_ESCAPE = pc_scan_codes[SDL_SCANCODE_ESCAPE];

// Fills the 256 bytes of key_state from SDL's keyboard state (`count` bytes by
// SDL scancode). RETURN reads as released while an Alt key is held and, after
// a window toggle, until it has been let go (*hide_return): Alt+Enter belongs
// to the window and must not start a game or a level.
void key_state_from_sdl(const uint8_t* sdl_state, int count, bool* hide_return, uint8_t* key_state);

// --- game controllers -------------------------------------------------------
// A pad presses the keyboard's keys, so the game cannot tell the two apart:
// the D-pad and the left stick steer, A fires, B brakes and Start is RETURN.
// Back is ESC only once held for PAD_BACK_HOLD_MS, so that a stray press
// does not end a game. 0 means the button presses nothing.
constexpr std::array<uint8_t, SDL_CONTROLLER_BUTTON_MAX> make_pad_codes()
{
    std::array<uint8_t, SDL_CONTROLLER_BUTTON_MAX> t{};
    t[SDL_CONTROLLER_BUTTON_DPAD_UP] = pc_scan_codes[SDL_SCANCODE_UP];
    t[SDL_CONTROLLER_BUTTON_DPAD_DOWN] = pc_scan_codes[SDL_SCANCODE_DOWN];
    t[SDL_CONTROLLER_BUTTON_DPAD_LEFT] = pc_scan_codes[SDL_SCANCODE_LEFT];
    t[SDL_CONTROLLER_BUTTON_DPAD_RIGHT] = pc_scan_codes[SDL_SCANCODE_RIGHT];
    t[SDL_CONTROLLER_BUTTON_A] = pc_scan_codes[SDL_SCANCODE_SPACE];
    t[SDL_CONTROLLER_BUTTON_B] = pc_scan_codes[SDL_SCANCODE_DOWN];
    t[SDL_CONTROLLER_BUTTON_START] = pc_scan_codes[SDL_SCANCODE_RETURN];
    return t;
}

inline constexpr std::array<uint8_t, SDL_CONTROLLER_BUTTON_MAX> pad_codes = make_pad_codes();

// How far the stick must lean (of 32767) before it counts as a direction: a
// worn stick at rest must not steer.
constexpr int PAD_DEAD_ZONE = 10000;
constexpr uint32_t PAD_BACK_HOLD_MS = 1000;  // Back held this long is ESC

struct PadReading {
    std::array<bool, SDL_CONTROLLER_BUTTON_MAX> held{};
    int16_t left_x = 0;  // SDL's axes: negative left and up
    int16_t left_y = 0;
    uint32_t back_held_ms = 0;  // how long Back has been held; 0 while up
};

// Adds what a pad holds to a key state the keyboard has filled; a key is down
// when either holds it.
void key_state_add_pad(const PadReading& pad, uint8_t* key_state);

// --- picture ----------------------------------------------------------------
// Where a picture goes in an output of out_w x out_h: the largest whole
// multiple of its size that fits, centred; where not even one fits, the
// largest size of the picture's shape that does.
SDL_Rect letterbox_rect(int out_w, int out_h, int picture_w, int picture_h);
// The largest rectangle of the picture's shape that fits, centred.
SDL_Rect fill_rect(int out_w, int out_h, int picture_w, int picture_h);
// The largest whole multiple of the picture that fits a desktop's usable
// area; at least 1.
int window_scale(int usable_w, int usable_h, int picture_w, int picture_h);

// Whether an OpenGL renderer, by the name its driver gives (GL_RENDERER),
// draws on the processor: Mesa's llvmpipe, softpipe and swrast.
bool gl_renderer_is_software(const char* name);

// The 256 ARGB8888 values of a palette, opaque whatever its alpha bytes say.
void palette_to_argb(const Colour* palette, uint32_t* argb);
// 8-bit indices to 32-bit pixels through the table above.
void indices_to_argb(const uint8_t* pixels, int pitch, int width, int height, const uint32_t* argb,
                     uint8_t* target, int target_pitch);

// --- for the tests ----------------------------------------------------------
SDL_Window* sdl_edge_window();      // null while no window is open
SDL_Renderer* sdl_edge_renderer();  // the window's, to read back what is shown
bool sdl_edge_fullscreen();         // the window is fullscreen now
int sdl_edge_pad_count();  // pads open now
