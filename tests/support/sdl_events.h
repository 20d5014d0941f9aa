// The SDL tests: SDL's dummy drivers whatever machine runs them, the keys and
// pads a player would press, pushed through SDL as its own drivers would, and
// test pictures.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_edge.h"

inline const bool sdl_dummy_drivers = setenv("SDL_VIDEODRIVER", "dummy", 0) + setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

inline void push_key(SDL_Scancode scancode, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event key{.key = {SDL_KEYDOWN, 0, sdl_edge_window() ? SDL_GetWindowID(sdl_edge_window()) : 0, SDL_PRESSED,
                          repeat, 0, 0, {scancode, SDL_GetKeyFromScancode(scancode), mod, 0}}};
    SDL_PushEvent(&key);
}

// Takes every waiting event as the loop would. SDL ends a poll early at the
// marker it queues after each pump: two empty polls in a row mean no more.
inline void drain_events()
{
    for (int empty = 0; empty < 2;) empty = platform_poll_event() == PLATFORM_EVENT_NONE ? empty + 1 : 0;
}

// The PC codes held in a key state, lowest first; negative if not PC_KEY_DOWN.
inline std::vector<int> down_codes(const uint8_t* keys)
{
    std::vector<int> down;
    for (int i = 0; i < 256; ++i)
        if (keys[i]) down.push_back(keys[i] == PC_KEY_DOWN ? i : -i);
    return down;
}

// What the edge reads now; every byte must be written.
inline std::vector<int> held_now()
{
    std::array<uint8_t, 256> keys;
    keys.fill(0x55);
    platform_keyboard_read(keys.data());
    return down_codes(keys.data());
}

// One of SDL's virtual game controllers: every standard button and axis in
// SDL's own order, so that button b of the joystick is button b of the pad.
struct VirtualPad {
    SDL_JoystickID id = -1;
    SDL_Joystick* joystick = nullptr;  // the test's own hold on it, to press its buttons

    bool plug_in()
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        std::tie(desc.naxes, desc.nbuttons) = std::pair(SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX);
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        id = device < 0 ? -1 : SDL_JoystickGetDeviceInstanceID(device);
        joystick = device < 0 ? nullptr : SDL_JoystickOpen(device);
        return joystick != nullptr && SDL_IsGameController(device);
    }
    void press(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joystick, b, down); }
    void lean(SDL_GameControllerAxis a, int16_t v) { SDL_JoystickSetVirtualAxis(joystick, a, v); }
    void pull_out()
    {
        if (joystick) SDL_JoystickClose(joystick);
        joystick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
};

// Colours no two indices share, alpha 0 as a BMP's reserved byte leaves it
// (which must not matter); 640 x 480 of indices that say where they are.
inline Palette test_palette(int shift)
{
    Palette p{};
    for (int i = 0; i < 256; ++i) p[size_t(i)] = Colour{uint8_t(i + shift), uint8_t(255 - i), uint8_t(i * 5 + shift), 0};
    return p;
}

inline std::vector<uint8_t> test_picture(int pitch, int seed)
{
    std::vector<uint8_t> picture(size_t(pitch) * 480, 0xEE);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) picture[size_t(y * pitch + x)] = uint8_t(x * 3 + y + seed);
    return picture;
}
