// The browser's music bank, run under node in the page's data folder
// (scripts/web test): the rendered tracks behave as the synthesiser's do on
// the desktop. A track sounds, stops at once, starts again from its top,
// replaces the track that plays, follows the music volume and plays once;
// a track without its rendered sound is one warning and plays silent.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/music_source.h"

static int faults;

static void expect(bool ok, const char* what)
{
    if (!ok) std::fprintf(stderr, "music-check: %s\n", what);
    faults += !ok;
}

static std::vector<int16_t> render(double seconds)
{
    std::vector<int16_t> out(2 * static_cast<size_t>(seconds * MIX_SAMPLE_RATE));
    mixer_render(out.data(), static_cast<int>(out.size() / 2));
    return out;
}

static double rms(const std::vector<int16_t>& samples)
{
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

int main()
{
    // As midi_init does once the audio device is open.
    music_source_start(nullptr, 0, 0);
    expect(midi_synth_ready() == 1 && midi_load("classic.mid") == 0 && midi_load("midifile0.mid") == 1,
           "the rendered music is not ready, or a track did not load into the next slot");

    expect(midi_play(0) == 1 && midi_slot(0).segment_state, "play gave no player");
    render(1.0);  // past a quiet opening
    const std::vector<int16_t> first = render(0.5);
    expect(rms(first) > 300, "the track is not heard");
    mixer_set_volumes(0, 100);
    expect(rms(render(0.2)) == 0, "music volume 0 still sounds");
    mixer_set_volumes(100, 100);

    expect(midi_stop(0) == 1 && !midi_slot(0).segment_state, "stop left a player");
    expect(rms(render(0.2)) == 0, "the music goes on after stop");
    midi_play(0);
    render(1.0);
    expect(render(0.5) == first, "played again, the track does not start from its top");

    midi_play(1);
    expect(midi_current_track() == 1 && midi_slot(0).play_state == MIDI_STOPPED && !midi_slot(0).segment_state,
           "the new track does not replace the one that played");
    // Once through, then silence: the desktop's player does not loop either.
    double heard = 0;
    std::vector<int16_t> block;
    for (int second = 0; second < 600 && (block = render(1.0), rms(block) > 0); ++second) heard += 1;
    expect(heard > 10 && heard < 600 && rms(render(1.0)) == 0, "the track does not play once through and end");

    // A MIDI file without its rendered sound beside it.
    std::filesystem::copy_file("classic.mid", "/tmp/lone.mid", std::filesystem::copy_options::overwrite_existing);
    const int lone = midi_load("/tmp/lone.mid");
    expect(lone == 2 && midi_play(lone) == 1 && rms(render(0.5)) == 0, "a track without its sound is not silent");

    midi_shutdown();
    expect(midi_synth_ready() == 0, "shut down, the music is still ready");
    if (faults == 0) std::printf("music-check: the rendered tracks play, stop, restart, replace and end as on the desktop\n");
    return faults == 0 ? 0 : 1;
}
