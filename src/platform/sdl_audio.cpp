// The player's speakers: one SDL audio device, 16-bit stereo, whose callback
// is the game's mixer. The device's own lock is the one lock between the
// game's thread and the audio thread.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/sdl_edge.h"

static SDL_AudioDeviceID audio_device;  // 0 while no device is open
static PlatformMixFn audio_mix;          // what fills the device's buffer
static char audio_why[256];              // the reason the last open failed

// A frame is two 16-bit samples, left then right.
constexpr int FRAME_BYTES = 2 * sizeof(int16_t);
constexpr int CALLBACK_BLOCK_FRAMES = 512;

static void SDLCALL audio_callback(void*, Uint8* stream, int len)
{
    // Render into aligned samples of our own, then copy: the stream is bytes.
    int16_t block[2 * CALLBACK_BLOCK_FRAMES];
    int frames = len / FRAME_BYTES;
    while (frames > 0) {
        const int n = frames < CALLBACK_BLOCK_FRAMES ? frames : CALLBACK_BLOCK_FRAMES;
        audio_mix(block, n);
        std::memcpy(stream, block, static_cast<size_t>(n) * FRAME_BYTES);
        stream += n * FRAME_BYTES;
        frames -= n;
    }
}

// With no sound card, ALSA's library writes a page of configuration errors to
// standard error before SDL can say "no device". The game says that itself in
// one line, so the library's own reports are turned off while it is tried.
extern "C" {
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
static void alsa_quiet(const char*, int, const char*, int, const char*, ...) {}
}
static void* alsa_library;  // ALSA's library, while its reports are turned off

static void silence_alsa()
{
    if (PAGE_IS_DISPLAY) return;
    if (!alsa_library) alsa_library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa_library) return;
    using SetHandler = int (*)(AlsaErrorHandler);
    auto set = reinterpret_cast<SetHandler>(dlsym(alsa_library, "snd_lib_error_set_handler"));
    if (set) set(alsa_quiet);
}

static void close_alsa()
{
    if (alsa_library) dlclose(alsa_library);
    alsa_library = nullptr;
}

static int audio_failed(const char** why)
{
    std::snprintf(audio_why, sizeof audio_why, "%s", SDL_GetError());
    *why = audio_why;
    return 0;
}

int platform_audio_open(int sample_rate, int buffer_frames, PlatformMixFn mix, const char** why)
{
    silence_alsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        close_alsa();
        return audio_failed(why);
    }
    SDL_AudioSpec want{};
    want.freq = sample_rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(buffer_frames);
    want.callback = audio_callback;
    audio_mix = mix;
    // No changes allowed: SDL converts for the hardware if it must, and the
    // mixer always sees 44.1 kHz stereo.
    SDL_AudioSpec have{};
    audio_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_device == 0) {
        audio_failed(why);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        close_alsa();
        return 0;
    }
    SDL_PauseAudioDevice(audio_device, 0);
    return 1;
}

void platform_audio_lock()
{
    if (audio_device) SDL_LockAudioDevice(audio_device);
}

void platform_audio_unlock()
{
    if (audio_device) SDL_UnlockAudioDevice(audio_device);
}

void platform_audio_close()
{
    if (!audio_device) return;
    SDL_CloseAudioDevice(audio_device);  // waits for the callback to return
    audio_device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    close_alsa();
}

void platform_audio_pause(bool paused)
{
    if (audio_device) SDL_PauseAudioDevice(audio_device, paused ? 1 : 0);
}
