// "midifile0.mid": Escape Velocity, a driving rock piece in E minor at 144.
// Intro, verse, chorus, a half-time bridge, verse and chorus again, and a
// hard stop on E minor.
#include <vector>

#include "music_kit.h"
#include "music_pieces.h"

namespace music {

namespace {

constexpr int kLead = 0, kGuitar = 1, kBass = 2, kPad = 3, kArp = 4, kBrass = 5;
constexpr int kKick = 36, kSnare = 38, kHat = 42, kOpenHat = 46, kCrash = 49, kRide = 51;
constexpr int kTomHi = 50, kTomMid = 47, kTomLow = 45, kTomFloor = 43;

// section starts, in bars
constexpr int kIntro = 0, kVerse1 = 8, kChorus1 = 24, kBridge = 40, kVerse2 = 48, kChorus2 = 56, kOutro = 72;
constexpr int kEndBar = 77;  // the final chord

const char* const kIntroChords = "Em | Em | C | D | Em | Em | C | D";
const char* const kVerseChords = "Em | C | D | Bm | Em | C | D | B7";
const char* const kChorusA = "C | D | Em | Em | C | D | B7 | B7";
const char* const kChorusB = "C | D | Em | Am | C | D | B7 | Em";
const char* const kBridgeChords = "Am | Em | Am | B7 | Am | Em | C | B7";
const char* const kOutroChords = "Em | C | D | B7";

const char* const kVerseTune =
    "E5:2 r:1 E5:1 D5:2 E5:2 G5:4 F#5:2 E5:2 | E5:2 r:1 E5:1 D5:2 E5:2 C5:6 r:2 | "
    "D5:2 r:1 D5:1 C5:2 D5:2 F#5:4 A5:2 F#5:2 | D5:4 B4:10 r:2 | "
    "E5:2 r:1 E5:1 D5:2 E5:2 G5:4 A5:2 B5:2 | C6:4 B5:2 A5:2 G5:4 E5:4 | "
    "F#5:4 G5:2 A5:2 D5:4 F#5:4 | D#5:8 B4:6 r:2 |";
const char* const kVerseTuneAnswer =
    "E5:2 r:1 E5:1 D5:2 E5:2 G5:4 F#5:2 E5:2 | E5:2 r:1 E5:1 D5:2 E5:2 C5:6 r:2 | "
    "D5:2 r:1 D5:1 C5:2 D5:2 F#5:4 A5:2 F#5:2 | D5:4 B4:10 r:2 | "
    "E5:2 r:1 E5:1 D5:2 E5:2 G5:4 A5:2 B5:2 | C6:4 B5:2 A5:2 G5:4 E5:4 | "
    "F#5:4 G5:2 A5:2 B5:4 A5:2 F#5:2 | A5:4 F#5:4 D#5:4 B4:4 |";
const char* const kChorusTuneA =
    "G5:6 A5:2 G5:4 E5:4 | F#5:6 G5:2 F#5:4 D5:4 | E5:4 G5:4 B5:8_ | B5:4 A5:4 G5:4 F#5:4 | "
    "G5:6 A5:2 G5:4 C6:4 | B5:6 A5:2 F#5:4 D5:4 | D#5:4 F#5:4 A5:4 B5:4_ | B5:12 r:4 |";
const char* const kChorusTuneB =
    "G5:6 A5:2 G5:4 E5:4 | F#5:6 G5:2 F#5:4 D5:4 | E5:4 G5:4 B5:4 D6:4 | C6:4 B5:4 A5:4 G5:4 | "
    "E5:6 F#5:2 G5:4 C6:4 | B5:6 A5:2 F#5:4 A5:4 | A5:4 F#5:4 D#5:4 F#5:4 | E5:16 |";
const char* const kBridgeCall =
    "C6:4 A5:4 G5:4 E5:4 | G5:8 B5:8 | C6:6 B5:2 A5:4 G5:4 | F#5:8 D#5:8 |";

std::vector<int> power_chord(const Chord& c) { return {bass_note(c, 40), bass_note(c, 40) + 7, bass_note(c, 40) + 12}; }

// A tom run down the kit over the last two beats of a bar; the section
// that follows lands on a crash of its own.
void fill(Piece& p, smf::Track& kit, int bar, int velocity)
{
    const uint32_t at = bars(bar) + 2 * kQuarter;
    const int toms[8] = {kSnare, kSnare, kTomHi, kTomHi, kTomMid, kTomMid, kTomLow, kTomFloor};
    for (int k = 0; k < 8; ++k) play(p, kit, kDrums, at + k * kSixteenth, kSixteenth, toms[k], velocity + k * 2);
}

}  // namespace

Piece compose_driving()
{
    // Brought down a little to the others' level; its crashes make the
    // highest peaks of the four pieces.
    Piece p = new_piece("Escape Velocity", 144, 0xD21E0, {.touch = 0.92, .fader_db = -0.9});
    smf::key_signature(conductor(p), 0, 1, true);
    smf::Track& lead = add_part(p, "Lead", kLead, 81, 74, 70, 50, 30);
    smf::Track& guitar = add_part(p, "Guitar", kGuitar, 29, 120, 40, 30);
    smf::Track& bass = add_part(p, "Bass", kBass, 34, 127, 64, 10);
    smf::Track& pad = add_part(p, "Synth strings", kPad, 50, 56, 88, 70, 40);
    smf::Track& arp = add_part(p, "Arpeggio", kArp, 80, 84, 30, 60, 20);
    smf::Track& brass = add_part(p, "Brass", kBrass, 62, 74, 96, 50);
    smf::Track& kit = add_part(p, "Drums", kDrums, 0, 127, 64, 30);

    const KeysOf power = power_chord;

    // Intro: the pulsing arpeggio over bass, kick and hats and a bed of
    // strings from the first beat, so the piece is at its level within
    // seconds; the guitar joins at bar 3, the snare and the fill at bar 5.
    {
        const auto ch = progression(bars(kIntro), kIntroChords);
        arpeggio(p, arp, kArp, ch, {0, 1, 2, 3, 2, 1, 0, 2}, kSixteenth, 3, 64, 70, 0.7);
        ramp(arp, kArp, 11, bars(kIntro), bars(kIntro + 4), 112, 124);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 28, 88);
        pads(p, pad, kPad, ch, 3, 59, 64);
        drums(p, kit, bars(kIntro), bars(4), "x.x.x.x.x.x.x.x.", kHat, 76);
        drums(p, kit, bars(kIntro), bars(4), "X.......x.......", kKick, 90);
        drums(p, kit, bars(kIntro + 4), bars(4), "X.....x.x.....x.", kKick, 92);
        drums(p, kit, bars(kIntro + 4), bars(3.5), "....x.......x...", kSnare, 90);
        drums(p, kit, bars(kIntro + 4), bars(4), "x.o.x.o.x.o.x.o.", kHat, 74);
        comp(p, guitar, kGuitar, progression(bars(kIntro + 2), "C | D | Em | Em | C | D"), "X-x-x-x-X-x-x-x-", 70,
             power, 0.55);
        play(p, kit, kDrums, bars(kIntro), kQuarter, kCrash, 90);
        play(p, kit, kDrums, bars(kIntro + 4), kQuarter, kCrash, 100);
        fill(p, kit, kIntro + 7, 84);
    }

    // Verses: the tune over chugging guitar, with soft strings beneath.
    auto verse = [&](int at, int velocity, bool answer_high) {
        const auto ch = progression(bars(at), std::string(kVerseChords) + " | " + kVerseChords);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 28, 88);
        comp(p, guitar, kGuitar, ch, "X-x-x-x-X-x-x-x-", 66, power, 0.5);
        pads(p, pad, kPad, ch, 3, 59, 56);
        melody(p, lead, kLead, bars(at), kVerseTune, velocity);
        melody(p, lead, kLead, bars(at + 8), kVerseTuneAnswer, velocity + 4, answer_high ? 12 : 0);
        drums(p, kit, bars(at), bars(16), "X.....x.x.....x.", kKick, 94);
        drums(p, kit, bars(at), bars(16), "....x.......x...", kSnare, 92);
        drums(p, kit, bars(at), bars(16), "x.o.x.o.x.o.x.o.", kHat, 76);
        play(p, kit, kDrums, bars(at), kQuarter, kCrash, 100);
        play(p, kit, kDrums, bars(at + 8), kQuarter, kCrash, 96);
        fill(p, kit, at + 15, 86);
    };
    verse(kVerse1, 92, false);

    // Choruses: open chords in a 3-3-2 push, strings and brass, crashes.
    auto chorus = [&](int at, int velocity, bool doubled) {
        const auto ch = progression(bars(at), std::string(kChorusA) + " | " + kChorusB);
        line(p, bass, kBass, ch, "r-r-o-r-r-r-f-o-", 28, 94);
        comp(p, guitar, kGuitar, ch, "X-----x-----x---", 82, power, 0.95);
        pads(p, pad, kPad, ch, 4, 55, 74);
        ramp(pad, kPad, 11, bars(at), bars(at + 2), 90, 124);
        // the brass stabs, unless the brass doubles the tune's second half
        const auto stabbed = doubled ? progression(bars(at), kChorusA) : ch;
        comp(p, brass, kBrass, stabbed, "......X-.......x", 78,
             [](const Chord& c) { return voice(c, 3, 60, {}); }, 0.8);
        melody(p, lead, kLead, bars(at), kChorusTuneA, velocity);
        melody(p, lead, kLead, bars(at + 8), kChorusTuneB, velocity + 4);
        if (doubled) melody(p, brass, kBrass, bars(at + 8), kChorusTuneB, velocity - 14, -12);
        drums(p, kit, bars(at), bars(16), "X...x...X...x.x.", kKick, 98);
        drums(p, kit, bars(at), bars(16), "....X.......X...", kSnare, 96);
        drums(p, kit, bars(at), bars(16), "..x...x...x...x.", kOpenHat, 70);
        drums(p, kit, bars(at), bars(16), "x...x...x...x...", kHat, 70);
        for (int b = 0; b < 16; b += 4) play(p, kit, kDrums, bars(at + b), kQuarter, kCrash, 104);
        fill(p, kit, at + 15, 92);
    };
    chorus(kChorus1, 98, false);

    // Bridge: half time, the arpeggio carries it; the lead calls once; the
    // last bar builds with a snare roll.
    {
        const auto ch = progression(bars(kBridge), kBridgeChords);
        play(p, kit, kDrums, bars(kBridge), kQuarter, kCrash, 100);
        arpeggio(p, arp, kArp, ch, {0, 1, 2, 3, 4, 3, 2, 1}, kSixteenth, 3, 57, 70, 0.7);
        pads(p, pad, kPad, ch, 4, 52, 70);
        line(p, bass, kBass, ch, "r-------r---f---", 28, 86, 0.95);
        comp(p, guitar, kGuitar, ch, "X---------------", 60, power, 0.98);
        melody(p, lead, kLead, bars(kBridge + 4), kBridgeCall, 90);
        drums(p, kit, bars(kBridge), bars(7), "X.........x.....", kKick, 90);
        drums(p, kit, bars(kBridge), bars(7), "........X.......", kSnare, 90);
        drums(p, kit, bars(kBridge), bars(7), "x...x...x...x...", kRide, 70);
        for (int k = 0; k < 16; ++k)
            play(p, kit, kDrums, bars(kBridge + 7) + k * kSixteenth, kSixteenth, kSnare, 50 + k * 4);
        play(p, kit, kDrums, bars(kBridge + 7), kQuarter, kKick, 90);
        play(p, kit, kDrums, bars(kVerse2), kQuarter, kCrash, 110);
    }

    // The second verse is half as long, the tune answered an octave up.
    {
        const auto ch = progression(bars(kVerse2), kVerseChords);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 28, 90);
        comp(p, guitar, kGuitar, ch, "X-x-x-x-X-x-x-x-", 70, power, 0.5);
        pads(p, pad, kPad, ch, 3, 59, 62);
        arpeggio(p, arp, kArp, ch, {0, 1, 2, 1}, kEighth, 3, 64, 54, 0.5);
        melody(p, lead, kLead, bars(kVerse2), kVerseTuneAnswer, 96, 12);
        drums(p, kit, bars(kVerse2), bars(8), "X.....x.x.....x.", kKick, 96);
        drums(p, kit, bars(kVerse2), bars(8), "....x.......x...", kSnare, 94);
        drums(p, kit, bars(kVerse2), bars(8), "x.x.x.x.x.x.x.x.", kHat, 78);
        fill(p, kit, kVerse2 + 7, 90);
    }
    chorus(kChorus2, 104, true);

    // Outro: the verse riff once more, two stabs, and the last chord.
    {
        const auto ch = progression(bars(kOutro), kOutroChords);
        play(p, kit, kDrums, bars(kOutro), kQuarter, kCrash, 108);
        line(p, bass, kBass, ch, "r-r-r-r-r-r-r-o-", 28, 92);
        comp(p, guitar, kGuitar, ch, "X-x-x-x-X-x-x-x-", 72, power, 0.5);
        melody(p, lead, kLead, bars(kOutro),
               "E5:2 r:1 E5:1 D5:2 E5:2 G5:4 F#5:2 E5:2 | C6:4 B5:2 A5:2 G5:4 E5:4 | "
               "F#5:4 G5:2 A5:2 B5:4 A5:2 F#5:2 | D#5:8 F#5:4 B5:4 |",
               100);
        drums(p, kit, bars(kOutro), bars(4), "X.....x.x.....x.", kKick, 98);
        drums(p, kit, bars(kOutro), bars(4), "....X.......X...", kSnare, 96);
        drums(p, kit, bars(kOutro), bars(4), "x.x.x.x.x.x.x.x.", kHat, 80);
        // bar 77: C and D struck together by everyone, then silence
        for (int half = 0; half < 2; ++half) {
            const uint32_t at = bars(kOutro + 4) + half * 2 * kQuarter;
            const Chord c = parse_chord(half == 0 ? "C" : "D");
            for (int k : power_chord(c)) play(p, guitar, kGuitar, at, kQuarter + kEighth, k, 100);
            for (int k : voice(c, 3, 60, {})) play(p, brass, kBrass, at, kQuarter, k, 96);
            play(p, bass, kBass, at, kQuarter + kEighth, bass_note(c, 28), 100);
            play(p, kit, kDrums, at, kQuarter, kKick, 110);
            play(p, kit, kDrums, at, kQuarter, kCrash, 104);
            play(p, kit, kDrums, at + kQuarter + kEighth, kSixteenth, kSnare, 84);
        }
        // the last E minor chord, held and let ring
        const uint32_t at = bars(kEndBar);
        const Chord em = parse_chord("Em");
        for (int k : power_chord(em)) play(p, guitar, kGuitar, at, bars(1.5), k, 110);
        for (int k : voice(em, 4, 55, {})) play(p, pad, kPad, at, bars(1.5), k, 90);
        for (int k : voice(em, 3, 64, {})) play(p, brass, kBrass, at, bars(1), k, 100);
        play(p, lead, kLead, at, bars(1.5), 76, 104);
        play(p, bass, kBass, at, bars(1.5), 28, 110);
        play(p, kit, kDrums, at, kQuarter, kKick, 120);
        play(p, kit, kDrums, at, bars(1), kCrash, 120);
        play(p, kit, kDrums, at, bars(1), 57, 110);  // second crash
        ramp(pad, kPad, 11, at, at + bars(1.5), 124, 40);
        ramp(lead, kLead, 11, at + bars(0.5), at + bars(1.5), 127, 30);
    }
    p.end = bars(kEndBar + 2);
    return p;
}

}  // namespace music
