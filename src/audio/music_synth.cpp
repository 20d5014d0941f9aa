// The music's source on the desktop: one FluidSynth synthesiser that plays
// the bank's tracks through a General MIDI soundfont. It renders inside the
// mixer's callback on the audio thread, so every call that changes what it
// plays is made under the audio lock, and a player is only ever created or
// deleted while the callback is kept out.
#include <dlfcn.h>
#include <fluidsynth.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "audio/mixer.h"
#include "audio/music_source.h"
#include "base/file.h"
#include "base/report.h"
#include "platform/platform.h"

static fluid_settings_t* synth_settings;               // the synthesiser's, while it exists
static fluid_synth_t* synth;                           // null without a device or a soundfont

// A slot's player is the synthesiser's own.
static fluid_player_t* player_of(const MidiSlot& slot) { return reinterpret_cast<fluid_player_t*>(slot.segment_state); }

// The synthesiser's first complaint since it was last reported. Written from
// whichever thread the synthesiser runs on, always under the audio lock once
// the music is attached to the mixer.
static char synth_log[256];

static void keep_synth_log(int level, const char* message, void*)
{
    if (level > FLUID_WARN || synth_log[0] != '\0') return;  // info and debug chatter
    std::snprintf(synth_log, sizeof synth_log, "%s", message);
}

// Prints the kept complaint, if any, as one warning. The copy is taken under
// the lock and printed outside it, so the callback never waits for a write.
static void report_synth_log(const char* subject)
{
    char message[sizeof synth_log];
    platform_audio_lock();
    std::memcpy(message, synth_log, sizeof message);
    synth_log[0] = '\0';
    platform_audio_unlock();
    if (message[0] != '\0') report_warning(subject, message);
}

// A soundfont that FluidSynth cannot read is tried by its DLS loader too,
// whose library complains through GLib's log straight to standard error.
// GLib comes loaded with FluidSynth; its default handler is borrowed for the
// length of a load, so that the one warning line stays one.
using GLibLogFunc = void (*)(const char* domain, int level, const char* message, void* data);
using GLibSetDefaultHandler = GLibLogFunc (*)(GLibLogFunc handler, void* data);
static void glib_quiet(const char*, int, const char*, void*) {}

static int load_soundfont(const char* path)
{
    auto set_handler = reinterpret_cast<GLibSetDefaultHandler>(dlsym(RTLD_DEFAULT, "g_log_set_default_handler"));
    const GLibLogFunc previous = set_handler ? set_handler(glib_quiet, nullptr) : nullptr;
    const int id = fluid_synth_sfload(synth, path, 1);
    if (set_handler) set_handler(previous, nullptr);
    return id;
}

static void render_music(float* left, float* right, int frames)
{
    fluid_synth_write_float(synth, frames, left, 0, 1, right, 0, 1);
}

void music_source_stop()
{
    mixer_set_music(nullptr);  // from here on the callback leaves the synthesiser alone
    if (synth) delete_fluid_synth(synth);
    if (synth_settings) delete_fluid_settings(synth_settings);
    synth = nullptr;
    synth_settings = nullptr;
}

void music_source_start(const char* const* soundfonts, int count, int named)
{
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, keep_synth_log, nullptr);
    synth_log[0] = '\0';
    synth_settings = new_fluid_settings();
    if (synth_settings) {
        fluid_settings_setnum(synth_settings, "synth.sample-rate", MIX_SAMPLE_RATE);
        fluid_settings_setnum(synth_settings, "synth.gain", MUSIC_GAIN);
        // The player keeps time by the samples rendered, not by the clock, so
        // it runs in step with the callback that renders it.
        fluid_settings_setstr(synth_settings, "player.timing-source", "sample");
        // Every sample in memory at start-up: loading one when a track
        // changes its instrument would read the disk on the audio thread.
        fluid_settings_setint(synth_settings, "synth.dynamic-sample-loading", 0);
        synth = new_fluid_synth(synth_settings);
    }
    if (!synth) {
        music_source_stop();
        report_warning("music", "the synthesiser could not be started; playing without music");
        synth_log[0] = '\0';
        return;
    }
    // Each refusal is said once the next try is known, so that the last one
    // can also say that the game plays on without music.
    std::string refused;
    char refusal[sizeof synth_log] = "";
    for (int i = 0; i < count; ++i) {
        const char* path = soundfonts[i];
        const char* why = nullptr;
        // Checked before FluidSynth opens it, which would wait on a pipe.
        if (!check_regular(path, &why)) {
            if (i >= named) continue;
        } else if (load_soundfont(path) != FLUID_FAILED) {
            if (!refused.empty()) report_warning(refused.c_str(), refusal);
            report_synth_log(path);
            mixer_set_music(render_music);
            return;
        } else {
            why = synth_log[0] ? synth_log : "not a usable soundfont";
        }
        if (!refused.empty()) report_warning(refused.c_str(), refusal);
        refused = path;
        std::snprintf(refusal, sizeof refusal, "%s", why);
        synth_log[0] = '\0';
    }
    music_source_stop();
    if (!refused.empty()) {
        const std::string last = std::string(refusal) + "; playing without music";
        report_warning(refused.c_str(), last.c_str());
    } else {
        report_warning("music", "no General MIDI soundfont found (install timgm6mb-soundfont); playing without music");
    }
}

// Ends the slot's player and silences the synthesiser at once. Stopping the
// player only releases its notes, which then ring out; every voice is cut
// instead, and the reverb and chorus are switched off with their tails (they
// keep them, to resume under the next track, far below its sound).
void music_source_end(MidiSlot& slot)
{
    if (!slot.segment_state) return;
    platform_audio_lock();
    fluid_player_t* player = player_of(slot);
    fluid_player_stop(player);
    delete_fluid_player(player);
    fluid_synth_all_sounds_off(synth, -1);
    fluid_synth_reverb_on(synth, -1, 0);
    fluid_synth_chorus_on(synth, -1, 0);
    platform_audio_unlock();
    slot.segment_state = nullptr;
    report_synth_log("music");
}

// A fresh player from the top of the track, fed from the bytes read at load.
void music_source_play(MidiSlot& slot)
{
    if (!synth) return;
    platform_audio_lock();
    fluid_synth_reverb_on(synth, -1, 1);
    fluid_synth_chorus_on(synth, -1, 1);
    // The player resets the synthesiser's channels as it starts the file.
    fluid_player_t* player = new_fluid_player(synth);
    if (player && fluid_player_add_mem(player, slot.segment, slot.segment_bytes) == FLUID_OK &&
        fluid_player_play(player) == FLUID_OK) {
        slot.segment_state = reinterpret_cast<MusicPlayer*>(player);
        // The player parses its copy of the file when it is first rendered.
        // One block rendered here, under the lock, has that happen on this
        // thread and not in the callback, which then never allocates; the
        // track loses its first 1.5 ms.
        constexpr int FIRST_BLOCK_FRAMES = 64;
        float left[FIRST_BLOCK_FRAMES];
        float right[FIRST_BLOCK_FRAMES];
        fluid_synth_write_float(synth, FIRST_BLOCK_FRAMES, left, 0, 1, right, 0, 1);
    } else if (player) {
        delete_fluid_player(player);
    }
    platform_audio_unlock();
    report_synth_log("music");
}

bool music_source_ready() { return synth != nullptr; }
void music_source_loaded(const MidiSlot&, const char*) {}
void music_source_forget(const MidiSlot&) {}
