// These tests run SDL on its dummy drivers, whatever machine they run on:
// no window appears and no sound device is needed.
#include <cstdlib>

namespace {
const bool dummy_drivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();
}  // namespace
