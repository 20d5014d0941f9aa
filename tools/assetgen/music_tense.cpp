// "midifile3.mid": Gravity Well, a tense piece in D minor at 100. A low
// piano ostinato runs under everything; horn and oboe sing over it; it
// builds, falls away to a heartbeat, surges to a climax and ends on a
// struck D minor and a low D that dies away.
#include <vector>

#include "music_kit.h"
#include "music_pieces.h"

namespace music {

namespace {

constexpr int kPiano = 0, kStrings = 1, kBass = 2, kHorn = 3, kOboe = 4, kTimpani = 5, kChoir = 6, kBrass = 7,
              kHigh = 8;
constexpr int kDeepKick = 35, kKick = 36, kStick = 37, kSnare = 38, kTomLow = 41, kTomFloor = 43,
              kCrash = 49, kRide = 51, kCrash2 = 57;

constexpr int kIntro = 0, kPartA = 8, kPartB = 24, kBreak = 40, kClimax = 48, kEnding = 56;

const char* const kChordsA = "Dm | Dm | Bb | A | Dm | Eb | Gm | A7";
const char* const kChordsB = "Gm | Dm | Eb | A | Bb | Gm | Edim | A7";
const char* const kChordsBreak = "Dm | Dm | Bb | Bb | Gm | Gm | A | A";

const char* const kTuneA =
    "D4:8 E4:4 F4:4 | E4:4 D4:4 C#4:8 | D4:6 F4:2 Bb4:8 | A4:12 r:4 | "
    "A4:8 Bb4:4 A4:4 | G4:4 F4:4 Eb4:8 | D4:4 G4:4 Bb4:4 A4:4 | A4:4 G4:4 E4:4 C#4:4 |";
const char* const kTuneB =
    "G5:4 A5:2 Bb5:2 A5:4 G5:4 | F5:8 A5:8 | G5:4 F5:2 Eb5:2 D5:4 Eb5:4 | C#5:12 r:4 | "
    "D5:4 F5:4 Bb5:8 | A5:4 G5:4 D5:8 | E5:4 G5:4 Bb5:4 G5:4 | A5:8 C#5:8 |";
const char* const kTuneBRise =
    "G5:4 A5:2 Bb5:2 A5:4 G5:4 | F5:8 A5:8 | G5:4 F5:2 Eb5:2 D5:4 Eb5:4 | C#5:12 r:4 | "
    "D5:4 F5:4 Bb5:8 | A5:4 G5:4 D5:8 | E5:4 G5:4 Bb5:4 C#6:4 | D6:4 C#6:4 A5:8 |";

// The ostinato in sixteenths: root, octave, fifth, octave, root, octave,
// flat sixth, fifth. The flat sixth leaning on the fifth keeps it uneasy.
void piano_ostinato(Piece& p, smf::Track& t, const std::vector<TimedChord>& ch, int low, int velocity)
{
    for (const TimedChord& c : ch) {
        const int root = bass_note(c.chord, low);
        const int steps[8] = {0, 12, 7, 12, 0, 12, 8, 7};
        for (uint32_t tick = c.at; tick < c.at + c.len; tick += kSixteenth) {
            const int i = static_cast<int>((tick / kSixteenth) % 8);
            const int vel = velocity + (i == 0 ? 14 : i == 4 ? 6 : 0);
            play(p, t, kPiano, tick, kSixteenth - 8, root + steps[i], vel);
        }
    }
}

void timpani_roll(Piece& p, smf::Track& t, uint32_t at, uint32_t len, int key, int v0, int v1)
{
    const uint32_t step = kSixteenth / 2;
    const uint32_t n = len / step;
    for (uint32_t k = 0; k < n; ++k) {
        const int vel = v0 + static_cast<int>((v1 - v0) * static_cast<double>(k) / static_cast<double>(n));
        play(p, t, kTimpani, at + k * step, step, key, vel);
    }
}

}  // namespace

Piece compose_tense()
{
    // Played as written, so that no note is pinned at velocity 127: the
    // final strike stays harder than the climax, and the climax than Part B.
    Piece p = new_piece("Gravity Well", 100, 0x7E45E, {.touch = 1.0, .fader_db = 0.0});
    smf::key_signature(conductor(p), 0, -1, true);
    smf::Track& piano = add_part(p, "Piano ostinato", kPiano, 0, 124, 52, 40);
    smf::Track& strings = add_part(p, "Tremolo strings", kStrings, 44, 80, 80, 70);
    smf::Track& bass = add_part(p, "Low pulse", kBass, 39, 58, 64, 20);
    smf::Track& horn = add_part(p, "Horn", kHorn, 60, 96, 44, 66);
    smf::Track& oboe = add_part(p, "Oboe", kOboe, 68, 100, 84, 60);
    smf::Track& timp = add_part(p, "Timpani", kTimpani, 47, 96, 64, 60);
    smf::Track& choir = add_part(p, "Choir", kChoir, 52, 80, 60, 80);
    smf::Track& brass = add_part(p, "Brass", kBrass, 61, 84, 70, 60);
    smf::Track& high = add_part(p, "High strings", kHigh, 48, 72, 96, 80);
    smf::Track& kit = add_part(p, "Percussion", kDrums, 0, 100, 64, 50);

    // Intro: the ostinato on D over a heartbeat, low strings, the low
    // pulse and a horn fifth from the first bar, so the piece is at its
    // level within seconds; the strings swell into Part A, timpani at the
    // end.
    {
        const auto ch = progression(bars(kIntro), "Dm | Dm | Dm | Dm | Dm | Dm | Dm | A");
        piano_ostinato(p, piano, ch, 38, 84);
        ramp(piano, kPiano, 11, bars(kIntro), bars(kIntro + 4), 112, 120);
        drums(p, kit, bars(kIntro), bars(8), "x..o............", kDeepKick, 84);
        line(p, bass, kBass, ch, "r-.-r-.-r-.-r-r-", 26, 74);
        pads(p, strings, kStrings, ch, 3, 50, 84);
        smf::control(strings, bars(kIntro), kStrings, 11, 96);
        for (int bar = 0; bar < 8; bar += 2) {
            play(p, horn, kHorn, bars(kIntro + bar), bars(2) - 30, bar == 6 ? 45 : 50, 72);
            play(p, horn, kHorn, bars(kIntro + bar), bars(2) - 30, bar == 6 ? 52 : 57, 68);
        }
        ramp(strings, kStrings, 11, bars(kIntro + 4), bars(kIntro + 8), 96, 110);
        play(p, timp, kTimpani, bars(kIntro), kQuarter, 38, 76);
        play(p, timp, kTimpani, bars(kIntro + 4), kQuarter, 38, 76);
        play(p, timp, kTimpani, bars(kIntro + 6), kQuarter, 38, 80);
        timpani_roll(p, timp, bars(kIntro + 7), bars(1), 33, 40, 96);
    }

    // Part A: the horn's tune twice, the second time with the high strings
    // an octave above it and the percussion stirring.
    for (int round = 0; round < 2; ++round) {
        const int at = kPartA + round * 8;
        const auto ch = progression(bars(at), kChordsA);
        piano_ostinato(p, piano, ch, 38, 66 + round * 4);
        pads(p, strings, kStrings, ch, 3, 50, 72 + round * 4);
        line(p, bass, kBass, ch, "r-.-r-.-r-.-r-r-", 26, 78);
        melody(p, horn, kHorn, bars(at), kTuneA, 86 + round * 6);
        if (round == 1) melody(p, high, kHigh, bars(at), kTuneA, 64, 12, 0.98);
        // a stroke on every chord, but the last bar is left to the roll
        for (size_t i = 0; i + (round == 1 ? 1 : 0) < ch.size(); ++i)
            play(p, timp, kTimpani, ch[i].at, kQuarter, bass_note(ch[i].chord, 33), 72);
        drums(p, kit, bars(at), bars(8), "x..o............", kDeepKick, 84);
        if (round == 1) {
            drums(p, kit, bars(at), bars(8), "......x.......x.", kTomLow, 70);
            drums(p, kit, bars(at), bars(8), "........x.......", kStick, 64);
        }
    }
    timpani_roll(p, timp, bars(kPartB - 1), bars(1), 33, 50, 100);

    // Part B: the oboe takes a higher line; the percussion drives in a
    // 3-3-2 pattern; brass stabs answer on the off-beats.
    for (int round = 0; round < 2; ++round) {
        const int at = kPartB + round * 8;
        const auto ch = progression(bars(at), kChordsB);
        piano_ostinato(p, piano, ch, 38, 72 + round * 4);
        pads(p, strings, kStrings, ch, 4, 55, 80 + round * 4);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 26, 84);
        melody(p, oboe, kOboe, bars(at), round == 0 ? kTuneB : kTuneBRise, 90 + round * 6);
        if (round == 1) melody(p, horn, kHorn, bars(at), kTuneB, 70, -12);
        comp(p, brass, kBrass, ch, "......x.......x.", 70, [](const Chord& c) { return voice(c, 3, 55, {}); },
             0.6);
        drums(p, kit, bars(at), bars(8), "X..x..x.X..x..x.", kTomFloor, 80);
        drums(p, kit, bars(at), bars(8), "....x.......x..o", kSnare, 76 + round * 8);
        drums(p, kit, bars(at), bars(8), "x.......x.......", kKick, 90);
        play(p, kit, kDrums, bars(at), kQuarter, round == 0 ? kCrash : kCrash2, 100);
        for (const TimedChord& c : ch) play(p, timp, kTimpani, c.at, kQuarter, bass_note(c.chord, 33), 80);
    }
    ramp(strings, kStrings, 11, bars(kPartB + 12), bars(kPartB + 16), 110, 127);

    // Break: the floor drops out. The ostinato goes up an octave and
    // quietly, a high A hangs over it, only the heartbeat is left; then a
    // long crescendo of roll and cymbal into the climax.
    {
        const auto ch = progression(bars(kBreak), kChordsBreak);
        piano_ostinato(p, piano, ch, 50, 64);
        smf::control(piano, bars(kBreak), kPiano, 11, 110);
        play(p, high, kHigh, bars(kBreak), bars(6), 81, 72);
        play(p, high, kHigh, bars(kBreak), bars(6), 74, 64);
        smf::control(strings, bars(kBreak), kStrings, 11, 70);
        pads(p, strings, kStrings, progression(bars(kBreak + 4), "Gm | Gm | A | A"), 3, 50, 64);
        ramp(strings, kStrings, 11, bars(kBreak + 4), bars(kBreak + 8), 60, 127);
        drums(p, kit, bars(kBreak), bars(8), "x..o............", kDeepKick, 78);
        for (int k = 0; k < 32; ++k)  // suspended cymbal swell
            play(p, kit, kDrums, bars(kBreak + 6) + k * kSixteenth, kSixteenth, kRide, 30 + k * 2);
        timpani_roll(p, timp, bars(kBreak + 6), bars(2), 33, 36, 112);
        ramp(piano, kPiano, 11, bars(kBreak + 6), bars(kBreak + 8), 110, 127);
    }

    // Climax: the horn's tune again in brass and choir, everything in.
    {
        const auto ch = progression(bars(kClimax), kChordsA);
        piano_ostinato(p, piano, ch, 38, 84);
        pads(p, strings, kStrings, ch, 4, 55, 96);
        pads(p, choir, kChoir, ch, 4, 57, 84);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 26, 92);
        melody(p, brass, kBrass, bars(kClimax), kTuneA, 100, 12);
        melody(p, horn, kHorn, bars(kClimax), kTuneA, 96);
        melody(p, high, kHigh, bars(kClimax), kTuneA, 82, 24, 0.98);
        for (const TimedChord& c : ch) play(p, timp, kTimpani, c.at, kQuarter, bass_note(c.chord, 33), 100);
        drums(p, kit, bars(kClimax), bars(8), "X..x..x.X..x..x.", kTomFloor, 92);
        drums(p, kit, bars(kClimax), bars(8), "x...x...x...x...", kKick, 100);
        drums(p, kit, bars(kClimax), bars(8), "....X.......X...", kSnare, 96);
        for (int b = 0; b < 8; b += 2) play(p, kit, kDrums, bars(kClimax + b), kQuarter, kCrash, 106);
    }

    // Ending: B flat, A with a rising roll, then a struck D minor, a
    // silence, and a low D that fades out.
    {
        const auto ch = progression(bars(kEnding), "Bb | A7");
        piano_ostinato(p, piano, ch, 38, 88);
        pads(p, strings, kStrings, ch, 4, 55, 100);
        pads(p, choir, kChoir, ch, 4, 57, 90);
        melody(p, brass, kBrass, bars(kEnding), "D5:8 F5:8 | E5:8 C#5:8 |", 104);
        melody(p, horn, kHorn, bars(kEnding), "Bb3:16 | A3:16 |", 96);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-r-", 26, 96);
        play(p, timp, kTimpani, bars(kEnding), kQuarter, 34, 104);
        timpani_roll(p, timp, bars(kEnding + 1), bars(1), 33, 60, 124);
        drums(p, kit, bars(kEnding), bars(1), "X..x..x.X..x..x.", kTomFloor, 96);
        drums(p, kit, bars(kEnding + 1), bars(1), "xxxxxxxxxxxxxxxx", kSnare, 70);
        const uint32_t hit = bars(kEnding + 2);
        const Chord dm = parse_chord("Dm");
        for (int k : voice(dm, 4, 55, {})) {
            play(p, strings, kStrings, hit, kQuarter, k, 112);
            play(p, choir, kChoir, hit, kQuarter, k, 100);
            play(p, brass, kBrass, hit, kQuarter, k, 110);
        }
        play(p, piano, kPiano, hit, kQuarter, 38, 110);
        play(p, piano, kPiano, hit, kQuarter, 26, 110);
        play(p, bass, kBass, hit, kQuarter, 26, 112);
        play(p, timp, kTimpani, hit, kQuarter, 38, 124);
        play(p, kit, kDrums, hit, kQuarter, kCrash, 120);
        play(p, kit, kDrums, hit, kQuarter, kKick, 124);
        // after two beats of silence: the low D alone, dying away
        const uint32_t tail = hit + 2 * kQuarter;
        smf::control(strings, tail, kStrings, 11, 110);
        play(p, strings, kStrings, tail, bars(1.5), 38, 76);
        play(p, strings, kStrings, tail, bars(1.5), 50, 66);
        ramp(strings, kStrings, 11, tail, tail + bars(1.5), 110, 0);
        play(p, piano, kPiano, tail + bars(1), kQuarter * 2, 26, 60);
        play(p, timp, kTimpani, tail, kQuarter, 38, 54);
    }
    p.end = bars(kEnding + 4);
    return p;
}

}  // namespace music
