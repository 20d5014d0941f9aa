// The music's source in the browser, which has no synthesiser: each track
// was rendered when the page was built, by the desktop's synthesiser through
// the soundfont the desktop tries first, at the mixer's rate and the music's
// gain, and compressed as Ogg Vorbis beside its MIDI file (classic.mid,
// classic.ogg). The track decodes as it plays, inside the mixer's callback,
// and goes through the same volume and limiter as the synthesiser's sound.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include "audio/mixer.h"
#include "audio/music_source.h"
#include "base/file.h"
#include "base/report.h"
#include "platform/platform.h"

// Each slot's rendered sound, the Ogg file's bytes; empty when it has none.
static std::array<std::vector<uint8_t>, MUSIC_SLOTS> rendered;
static bool started;                 // between music_source_start and _stop
static stb_vorbis* playing;          // the decoder of the track that sounds, read by the callback

// The sound of a track rendered in advance: its bytes, and a decoder of them.
static stb_vorbis* open_rendered(const std::vector<uint8_t>& bytes)
{
    int error = 0;
    return stb_vorbis_open_memory(bytes.data(), static_cast<int>(bytes.size()), &error, nullptr);
}

static void render_music(float* left, float* right, int frames)
{
    int done = 0;
    if (playing) {
        float* channels[] = {left, right};
        done = stb_vorbis_get_samples_float(playing, 2, channels, frames);
    }
    // Past a track's end the music is silent until the next one starts.
    std::fill(left + done, left + frames, 0.0f);
    std::fill(right + done, right + frames, 0.0f);
}

void music_source_start(const char* const*, int, int)
{
    started = true;
    mixer_set_music(render_music);
}

void music_source_stop()
{
    mixer_set_music(nullptr);
    started = false;
}

bool music_source_ready() { return started; }

// classic.mid's sound is classic.ogg. A track without one plays silent, after
// one warning naming the file. Without a device (the replay runner) nothing
// would be heard, and nothing is read.
void music_source_loaded(const MidiSlot& slot, const char* filename)
{
    if (!started) return;
    std::string sound = filename;
    const size_t dot = sound.rfind('.');
    sound = (dot == std::string::npos ? sound : sound.substr(0, dot)) + ".ogg";
    std::vector<uint8_t>& bytes = rendered[static_cast<size_t>(slot.id)];
    const char* why = nullptr;
    if (!read_file(sound.c_str(), AUDIO_FILE_LIMIT, bytes, &why)) {
        bytes.clear();
        report_warning(sound.c_str(), why);
        return;
    }
    stb_vorbis* check = open_rendered(bytes);
    const stb_vorbis_info info = check ? stb_vorbis_get_info(check) : stb_vorbis_info{};
    if (check) stb_vorbis_close(check);
    if (!check || info.channels != 2 || info.sample_rate != static_cast<unsigned>(MIX_SAMPLE_RATE)) {
        bytes.clear();
        report_warning(sound.c_str(), "not stereo Ogg Vorbis at the mixer's rate; this track plays silent");
    }
}

void music_source_forget(const MidiSlot& slot) { rendered[static_cast<size_t>(slot.id)].clear(); }

void music_source_play(MidiSlot& slot)
{
    const std::vector<uint8_t>& bytes = rendered[static_cast<size_t>(slot.id)];
    if (!started || bytes.empty()) return;
    stb_vorbis* decoder = open_rendered(bytes);
    if (!decoder) return;
    platform_audio_lock();
    playing = decoder;
    platform_audio_unlock();
    slot.segment_state = reinterpret_cast<MusicPlayer*>(decoder);
}

void music_source_end(MidiSlot& slot)
{
    if (!slot.segment_state) return;
    auto* decoder = reinterpret_cast<stb_vorbis*>(slot.segment_state);
    platform_audio_lock();
    if (playing == decoder) playing = nullptr;
    platform_audio_unlock();
    stb_vorbis_close(decoder);
    slot.segment_state = nullptr;
}
