// Keyboard polling into the World's key_state. No events, no edges: a key is
// seen when it is held at the moment of a poll.
#include "input/keyboard.h"

#include "game/world.h"
#include "platform/platform.h"

static bool keyboard_open;

int keyboard_init()
{
    keyboard_open = platform_keyboard_open() != 0;
    return keyboard_open ? 1 : 0;
}

void keyboard_poll()
{
    // Without a device the last known state stands.
    if (keyboard_open) platform_keyboard_read(world.key_state.data());
}

bool key_down(int scan_code) { return world.key_state[static_cast<unsigned>(scan_code) & 0xFF] != 0; }

void keyboard_shutdown()
{
    if (keyboard_open) platform_keyboard_close();
    keyboard_open = false;
}
