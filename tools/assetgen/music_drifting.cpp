// "midifile7.mid": Drift, slow and weightless, in D major with Lydian
// colours at 66. Pads breathe in, a celesta turns with echoes, the flute
// floats a long tune, a vibraphone takes a second one over new chords, the
// first returns higher, and everything dissolves on D major ninth.
#include <vector>

#include "music_kit.h"
#include "music_pieces.h"

namespace music {

namespace {

constexpr int kPad = 0, kHalo = 1, kCelesta = 2, kBass = 3, kFlute = 4, kVibes = 5, kAir = 6, kEcho = 7;
constexpr int kSoftKick = 35, kRide = 51, kBell = 53, kTriangle = 81;

constexpr int kIntro = 0, kPartA = 4, kPartB = 12, kPartC = 20, kPartA2 = 28, kOutro = 36;

const char* const kChordsA = "Dmaj7 | E/D | Bm7 | Gmaj7 | Dmaj7 | E/D | Bm7 | Gmaj7";
const char* const kChordsC = "Gmaj7 | A/G | F#m7 | Bm7 | Em7 | A7sus4 A7 | Bbmaj7 | Asus4 A";

const char* const kTuneA =
    "A5:12 F#5:4 | G#5:8 E5:8 | F#5:6 D5:2 A5:8 | F#5:16 | "
    "A5:8 C#6:4 E6:4 | D6:8 B5:8 | A5:4 F#5:4 D5:8 | E5:16 |";
const char* const kTuneAHigh =
    "A5:12 F#5:4 | G#5:8 B5:8 | C#6:6 B5:2 A5:8 | F#5:8 G5:4 A5:4 | "
    "A5:8 C#6:4 E6:4 | F#6:8 E6:4 D6:4 | C#6:4 A5:4 F#5:8 | A5:16 |";
const char* const kTuneC =
    "B5:8 D6:8 | C#6:12 A5:4 | A5:8 E5:8 | F#5:16 | G5:8 B5:8 | D6:8 C#6:8 | D6:8 F5:4 A5:4 | E5:8 C#5:8 |";

// The celesta's broken chords with their echoes a dotted eighth and two
// dotted eighths later, on a channel of their own panned to the far side.
void celesta(Piece& p, smf::Track& main, smf::Track& echo, const std::vector<TimedChord>& ch, int velocity)
{
    arpeggio(p, main, kCelesta, ch, {0, 1, 2, 3, 4, 3, 2, 1}, kEighth, 4, 62, velocity, 0.9);
    std::vector<TimedChord> later = ch;
    for (TimedChord& c : later) c.at += 3 * kSixteenth;
    arpeggio(p, echo, kEcho, later, {0, 1, 2, 3, 4, 3, 2, 1}, kEighth, 4, 62, velocity * 45 / 100, 0.9);
}

}  // namespace

Piece compose_drifting()
{
    // A little harder than written, the vibraphone's tune just under
    // velocity 127; with its faders up it sits a dB or so under the driving
    // pieces, as a calm one should.
    Piece p = new_piece("Drift", 66, 0xD21F7, {.touch = 1.2, .fader_db = 0.0});
    smf::key_signature(conductor(p), 0, 2, false);
    smf::Track& pad = add_part(p, "Warm pad", kPad, 89, 70, 54, 90, 60);
    smf::Track& halo = add_part(p, "Halo", kHalo, 94, 70, 76, 100, 60);
    smf::Track& cel = add_part(p, "Celesta", kCelesta, 8, 120, 40, 90);
    smf::Track& bass = add_part(p, "Fretless bass", kBass, 35, 92, 64, 50);
    smf::Track& flute = add_part(p, "Flute", kFlute, 73, 112, 70, 90, 20);
    smf::Track& vibes = add_part(p, "Vibraphone", kVibes, 11, 127, 58, 100);
    smf::Track& air = add_part(p, "Atmosphere", kAir, 99, 84, 64, 110, 60);
    smf::Track& echo = add_part(p, "Celesta echo", kEcho, 8, 110, 100, 110);
    smf::Track& kit = add_part(p, "Percussion", kDrums, 0, 120, 64, 90);

    // Intro: the pad and the bass from the first beat, air around them,
    // the celesta starting to turn in the second bar, so the piece is at its
    // level within seconds.
    {
        const auto ch = progression(bars(kIntro), "Dmaj7 | E/D | Dmaj7 | E/D");
        pads(p, pad, kPad, ch, 4, 50, 80);
        ramp(pad, kPad, 11, bars(kIntro), bars(kIntro + 1), 100, 120);
        line(p, bass, kBass, ch, "r-----------f---", 38, 74, 0.98);
        play(p, air, kAir, bars(kIntro), bars(4), 62, 70);
        play(p, air, kAir, bars(kIntro + 2), bars(2), 66, 60);
        celesta(p, cel, echo, progression(bars(kIntro + 1), "E/D | Dmaj7 | E/D"), 64);
        ramp(cel, kCelesta, 11, bars(kIntro + 1), bars(kIntro + 2), 80, 110);
        play(p, kit, kDrums, bars(kIntro + 3) + 3 * kQuarter, kQuarter, kTriangle, 40);
    }

    // Part A: the celesta turns on, the bass moves in long notes.
    {
        const auto ch = progression(bars(kPartA), kChordsA);
        pads(p, pad, kPad, ch, 4, 50, 66);
        ramp(pad, kPad, 11, bars(kPartA), bars(kPartA + 1), 120, 110);
        celesta(p, cel, echo, ch, 72);
        line(p, bass, kBass, ch, "r-----------f---", 38, 70, 0.98);
    }

    // Part B: the flute's tune over the same turn.
    {
        const auto ch = progression(bars(kPartB), kChordsA);
        pads(p, pad, kPad, ch, 4, 50, 66);
        celesta(p, cel, echo, ch, 66);
        line(p, bass, kBass, ch, "r-----------f---", 38, 74, 0.98);
        melody(p, flute, kFlute, bars(kPartB), kTuneA, 80, 0, 0.98);
        for (int phrase = 0; phrase < 2; ++phrase) {
            const uint32_t at = bars(kPartB + phrase * 4);
            ramp(flute, kFlute, 11, at, at + bars(2), 90, 120);
            ramp(flute, kFlute, 11, at + bars(2), at + bars(4), 120, 92);
        }
    }

    // Part C: new harmony drifting off the home key, the vibraphone's tune,
    // a halo above, and a soft pulse of ride and kick for some motion.
    {
        const auto ch = progression(bars(kPartC), kChordsC);
        pads(p, pad, kPad, ch, 4, 50, 68);
        pads(p, halo, kHalo, ch, 3, 69, 54);
        ramp(halo, kHalo, 11, bars(kPartC), bars(kPartC + 2), 30, 110);
        line(p, bass, kBass, ch, "r-------f-------", 38, 76, 0.98);
        melody(p, vibes, kVibes, bars(kPartC), kTuneC, 100, 0, 0.98);
        melody(p, flute, kFlute, bars(kPartC + 4), "D5:16 | E5:8 D5:8 | D5:16 | C#5:16 |", 60, 0, 0.98);
        arpeggio(p, cel, kCelesta, ch, {4, 3, 2, 1}, kQuarter, 4, 62, 46, 0.9);
        drums(p, kit, bars(kPartC), bars(8), "x.......o.......", kRide, 44);
        drums(p, kit, bars(kPartC), bars(8), "x...............", kSoftKick, 56);
        drums(p, kit, bars(kPartC + 4), bars(4), "........x.......", kBell, 34);
    }

    // Part A again: the tune climbing higher this time, the vibraphone
    // shadowing it an octave down, all the layers at once.
    {
        const auto ch = progression(bars(kPartA2), kChordsA);
        pads(p, pad, kPad, ch, 4, 50, 70);
        pads(p, halo, kHalo, ch, 3, 69, 50);
        celesta(p, cel, echo, ch, 70);
        line(p, bass, kBass, ch, "r-----------f---", 38, 78, 0.98);
        melody(p, flute, kFlute, bars(kPartA2), kTuneAHigh, 86, 0, 0.98);
        melody(p, vibes, kVibes, bars(kPartA2), kTuneA, 72, -12, 0.98);
        drums(p, kit, bars(kPartA2), bars(6), "x.......o.......", kRide, 40);
        drums(p, kit, bars(kPartA2), bars(6), "x...............", kSoftKick, 50);
        ramp(flute, kFlute, 11, bars(kPartA2 + 6), bars(kPartA2 + 8), 120, 96);
    }

    // Outro: two chords and the long last one, D major ninth, fading.
    {
        const auto ch = progression(bars(kOutro), "Gmaj7 | E/D");
        pads(p, pad, kPad, ch, 4, 50, 66);
        celesta(p, cel, echo, ch, 46);
        line(p, bass, kBass, ch, "r---------------", 38, 72, 0.98);
        const uint32_t last = bars(kOutro + 2);
        const Chord d9 = parse_chord("Dmaj9");
        for (int k : voice(d9, 5, 50, {})) play(p, pad, kPad, last, bars(2), k, 70);
        for (int k : voice(d9, 3, 69, {})) play(p, halo, kHalo, last, bars(2), k, 56);
        play(p, bass, kBass, last, bars(2), 38, 74);
        play(p, flute, kFlute, last, bars(2), 76, 70);  // E5, the ninth, on top
        play(p, cel, kCelesta, last, kQuarter, 86, 60);
        play(p, echo, kEcho, last + 3 * kSixteenth, kQuarter, 86, 28);
        play(p, air, kAir, bars(kOutro), bars(4), 62, 56);
        play(p, kit, kDrums, last + kBar, kQuarter, kTriangle, 34);
        for (int c : {kPad, kHalo, kFlute, kAir}) {
            smf::Track& t = c == kPad ? pad : c == kHalo ? halo : c == kFlute ? flute : air;
            ramp(t, c, 11, last, last + bars(2), 110, 0);
        }
        ramp(bass, kBass, 11, last + bars(1), last + bars(2), 127, 0);
    }
    p.end = bars(kOutro + 4) + kQuarter;
    return p;
}

}  // namespace music
