// Placeholder until the effect bank lands: a bank with no device.
#include "audio/sfx.h"
int sfx_init() { return 1; }
int sfx_load_wav(const char*, uint32_t) { return -1; }
int sfx_play(int, uint32_t) { return 1; }
int sfx_stop(int) { return 1; }
int sfx_stop_all() { return 1; }
int sfx_delete(int) { return 1; }
int sfx_delete_all() { return 1; }
int sfx_status(int) { return -1; }
int sfx_shutdown() { return 1; }
