// "classic.mid": our arrangement of the first prelude (in C major) of the
// Well-Tempered Clavier, book one (1722). The keyboard figuration stays as
// written; strings, a bass line, an oboe on the hidden top voice, a horn
// pedal and timpani are ours, and so are the dynamics and the tempo shape.
#include <algorithm>

#include "music_kit.h"
#include "music_pieces.h"

namespace music {

namespace {

// The harmony bar by bar: the five voices the figure is built from, lowest
// first. Bars 33 and 34 break the pattern and are written out below.
constexpr int kBars = 35;
constexpr int kVoices[kBars][5] = {
    {60, 64, 67, 72, 76}, {60, 62, 69, 74, 77}, {59, 62, 67, 74, 77}, {60, 64, 67, 72, 76},  // 1-4
    {60, 64, 69, 76, 81}, {60, 62, 66, 69, 74}, {59, 62, 67, 74, 79}, {59, 60, 64, 67, 72},  // 5-8
    {57, 60, 64, 67, 72}, {50, 57, 62, 66, 72}, {55, 59, 62, 67, 71}, {55, 58, 64, 67, 73},  // 9-12
    {53, 57, 62, 69, 74}, {53, 56, 62, 65, 71}, {52, 55, 60, 67, 72}, {52, 53, 57, 60, 65},  // 13-16
    {50, 53, 57, 60, 65}, {43, 50, 55, 59, 65}, {48, 52, 55, 60, 64}, {48, 55, 58, 60, 64},  // 17-20
    {41, 53, 57, 60, 64}, {42, 48, 57, 60, 63}, {44, 53, 59, 60, 62}, {43, 53, 55, 59, 62},  // 21-24
    {43, 52, 55, 60, 64}, {43, 50, 55, 60, 65}, {43, 50, 55, 59, 65}, {43, 51, 57, 60, 66},  // 25-28
    {43, 52, 55, 60, 67}, {43, 50, 55, 60, 65}, {43, 50, 55, 59, 65}, {36, 48, 55, 58, 64},  // 29-32
    {36, 48, 53, 57, 64}, {36, 47, 55, 62, 65}, {36, 48, 52, 55, 60},                        // 33-35
};

// Piano velocity per bar: a full opening, since every level starts the
// track from its beginning and the opening is what a player hears most; a
// swell through the chromatic middle to the diminished chord over the
// pedal (bar 28), and a settling close.
constexpr int kDynamics[kBars] = {
    70, 70, 70, 70, 70, 70, 71, 70, 70, 71, 73, 71, 72, 73, 73, 71, 70, 73,
    69, 71, 73, 76, 78, 76, 78, 80, 83, 87, 84, 80, 77, 73, 70, 67, 70,
};

constexpr int kPiano = 0, kStrings = 1, kBass = 2, kOboe = 3, kHorn = 4, kTimpani = 5;

// One voice of the harmony held from bar to bar for bars [from, to): a
// note is struck where the voice changes and sustained while it stays.
// The last bar is the fermata, a bar and a half long.
void held_voice(Piece& p, smf::Track& t, int channel, int from, int to, int voice_index, int dynamics,
                int transpose = 0)
{
    int bar = from;
    while (bar < to) {
        const int key = kVoices[bar][voice_index];
        int next = bar + 1;
        while (next < to && kVoices[next][voice_index] == key) ++next;
        const uint32_t len = bars(next - bar) + (next == kBars ? bars(0.5) : 0) - 30;
        play(p, t, channel, bars(bar), len, key + transpose, kDynamics[bar] + dynamics);
        bar = next;
    }
}

}  // namespace

Piece compose_classic()
{
    // Played firmly, the loudest bar still short of velocity 127 so that the
    // swell keeps its top. The figure never rests and the strings hold under
    // it, so the prelude sounds fuller than the other pieces at the same
    // touch: its faders sit well down.
    Piece p = new_piece("Prelude in C", 66, 0xC1A551C, {.touch = 1.3, .fader_db = -6.7});
    smf::Track& cond = conductor(p);
    smf::key_signature(cond, 0, 0, false);
    // a breath before the return to C (bar 19), and the broadening close
    smf::tempo(cond, bars(17.5), 63);
    smf::tempo(cond, bars(18), 66);
    smf::tempo(cond, bars(31), 63);
    smf::tempo(cond, bars(32), 60);
    smf::tempo(cond, bars(33), 56);
    smf::tempo(cond, bars(33.5), 52);
    smf::tempo(cond, bars(34), 46);

    smf::Track& piano = add_part(p, "Piano", kPiano, 0, 124, 58, 48);
    smf::Track& strings = add_part(p, "Strings", kStrings, 48, 106, 76, 70, 20);
    smf::Track& bass = add_part(p, "Contrabass", kBass, 43, 84, 50, 60);
    smf::Track& oboe = add_part(p, "Oboe", kOboe, 68, 100, 84, 62);
    smf::Track& horn = add_part(p, "Horn", kHorn, 60, 90, 40, 66);
    smf::Track& timp = add_part(p, "Timpani", kTimpani, 47, 80, 64, 60);

    // The keyboard figure: the bass note held through each half bar, the
    // tenor tied from the second sixteenth, the upper three broken twice.
    for (int bar = 0; bar < 32; ++bar) {
        const int* v = kVoices[bar];
        const int vel = kDynamics[bar];
        for (int half = 0; half < 2; ++half) {
            const uint32_t at = bars(bar) + half * 8 * kSixteenth;
            play(p, piano, kPiano, at, 8 * kSixteenth, v[0], vel + 4);
            play(p, piano, kPiano, at + kSixteenth, 7 * kSixteenth, v[1], vel - 2);
            const int upper[6] = {v[2], v[3], v[4], v[2], v[3], v[4]};
            for (int k = 0; k < 6; ++k) {
                const int shape = (k == 2 || k == 5) ? 3 : (k == 0 ? 1 : 0);  // lean on the top note
                play(p, piano, kPiano, at + (2 + k) * kSixteenth, kSixteenth + 10, upper[k], vel - 6 + shape);
            }
        }
    }
    // bars 33 and 34: the pedal C under a descending, then a rising, run
    melody(p, piano, kPiano, bars(32), "C2:16", kDynamics[32] + 2, 0, 1.0);
    melody(p, piano, kPiano, bars(32), "r:1 C3:15", kDynamics[32] - 4, 0, 1.0);
    melody(p, piano, kPiano, bars(32),
           "r:2 F3:1 A3 C4 F4 C4 A3 C4 A3 F3 A3 F3 D3 F3 D3", kDynamics[32] - 6, 0, 1.1);
    melody(p, piano, kPiano, bars(33), "C2:16", kDynamics[33] + 2, 0, 1.0);
    melody(p, piano, kPiano, bars(33), "r:1 B2:15", kDynamics[33] - 4, 0, 1.0);
    melody(p, piano, kPiano, bars(33),
           "r:2 G4:1 B4 D5 F5 D5 B4 D5 B4 G4 B4 D4 F4 E4 D4", kDynamics[33] - 6, 0, 1.1);
    // the last chord, spread from the bottom, held as a fermata
    const int last[5] = {36, 48, 64, 67, 72};
    for (int k = 0; k < 5; ++k)
        play(p, piano, kPiano, bars(34) + static_cast<uint32_t>(k) * 40, bars(1.5) - k * 40, last[k], 66 - k);

    // Strings hold the two lower voices from the first bar, so that the
    // piece is at its level within seconds, and take the third voice too
    // once the music leaves the home key. A voice that keeps its note into
    // the next bar is held, not struck again.
    held_voice(p, strings, kStrings, 0, 32, 0, -8);
    held_voice(p, strings, kStrings, 0, kBars, 1, -4);
    held_voice(p, strings, kStrings, 11, kBars, 2, -10);
    const int phrase_starts[] = {0, 4, 8, 11, 15, 19, 23, 27, 31};
    for (size_t i = 0; i < std::size(phrase_starts); ++i) {
        const int a = phrase_starts[i];
        const int b = i + 1 < std::size(phrase_starts) ? phrase_starts[i + 1] : 34;
        const int mid = (a + b) / 2;
        ramp(strings, kStrings, 11, bars(a), bars(mid), 84, 112);
        ramp(strings, kStrings, 11, bars(mid), bars(b), 112, 88);
    }
    ramp(strings, kStrings, 11, bars(34), bars(35.5), 100, 70);

    // The bass line an octave down from the start; it starts to walk at
    // bar 9.
    for (int bar = 0; bar < kBars; ++bar) {
        const int low = kVoices[bar][0] - 12 >= 28 ? kVoices[bar][0] - 12 : kVoices[bar][0];
        const uint32_t len = bar == kBars - 1 ? bars(1.5) : kBar - 20;
        play(p, bass, kBass, bars(bar), len, low, kDynamics[bar] - 2);
    }

    // The oboe sings the hidden top voice from bar 20 (E, Eb, D ... rising
    // chromatically to G over the pedal), an octave up, and closes on E.
    held_voice(p, oboe, kOboe, 19, 32, 4, -2, 12);
    melody(p, oboe, kOboe, bars(32), "F5:16 | D5:8 F5:4 D5:4 | E5:24", 64, 0, 0.97);
    ramp(oboe, kOboe, 11, bars(34), bars(35.5), 110, 60);

    // Horns hold the dominant pedal through bars 24 to 31, then the tonic.
    for (int bar = 23; bar < 31; ++bar) {
        play(p, horn, kHorn, bars(bar), kBar - 20, 43, 58 + (bar - 23) * 2);
        play(p, horn, kHorn, bars(bar), kBar - 20, 55, 54 + (bar - 23) * 2);
    }
    play(p, horn, kHorn, bars(31), bars(1) - 20, 48, 64);
    play(p, horn, kHorn, bars(34), bars(1.5), 48, 62);
    play(p, horn, kHorn, bars(34), bars(1.5), 55, 58);

    // Timpani: a touch on the pedal's arrival, a roll into bar 32, the end.
    play(p, timp, kTimpani, bars(23), kQuarter, 43, 62);
    for (int k = 0; k < 32; ++k) {
        const int vel = 34 + k * 2;
        play(p, timp, kTimpani, bars(30) + static_cast<uint32_t>(k) * kSixteenth / 2, kSixteenth / 2, 43, vel);
    }
    play(p, timp, kTimpani, bars(31), kQuarter, 36, 84);
    play(p, timp, kTimpani, bars(34), kQuarter, 36, 70);

    p.end = bars(36);
    return p;
}

}  // namespace music
