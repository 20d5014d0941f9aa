// The keyboard: a 256-byte key-state buffer by PC scan code, filled by polling.
#pragma once

int keyboard_init();
void keyboard_poll();
bool key_down(int scan_code);
void keyboard_shutdown();
