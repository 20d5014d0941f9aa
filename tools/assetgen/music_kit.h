// What the pieces are written with: a compact melody notation, chord
// symbols with voice-led voicings, drum grids and dynamics, all placed on
// smf tracks at absolute ticks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "midi_writer.h"
#include "synth.h"

namespace music {

constexpr uint32_t kQuarter = 480;
constexpr uint32_t kSixteenth = kQuarter / 4;
constexpr uint32_t kEighth = kQuarter / 2;
constexpr uint32_t kBar = 4 * kQuarter;  // every piece here is in 4/4
constexpr int kDrums = 9;                // channel 10

constexpr uint32_t bars(double n) { return static_cast<uint32_t>(n * kBar); }

// Where a piece sits in the game's mix. The scores are written in one
// dynamic range; `touch` says how hard the parts play it (velocity, so
// timbre as well as level) and `fader_db` moves every part's channel
// volume by that many decibels, which sets the level without touching the
// playing. The game switches tracks between levels, so the four pieces are
// brought to one loudness here: measured over a whole track, rendered with
// the game's soundfont at its gain, about -24 dBFS RMS, peaks under -3.
struct Level {
    double touch = 1.0;
    double fader_db = 0.0;
};

// A piece under construction. Tracks are handed out as references, so the
// track list is reserved up front and never reallocates.
struct Piece {
    smf::Song song;
    synth::Rng rng;
    uint32_t end = 0;  // the tick the tracks end at
    Level level;
};
Piece new_piece(const std::string& title, double bpm, uint64_t seed, Level level = {});
// A part's channel volume after the piece's fader. Channel volume works
// on a squared curve: the level in dB is 40 log10(volume / 127).
int faded_volume(int volume, double fader_db);
smf::Track& conductor(Piece& p);
smf::Track& add_part(Piece& p, const std::string& name, int channel, int program, int volume, int pan,
                     int reverb, int chorus = 0);

// One note placed through the piece: velocity gets a touch of deterministic
// variation so repeated notes don't sound stamped out.
void play(Piece& p, smf::Track& t, int channel, uint32_t at, uint32_t len, int key, int velocity);

// Melody notation, one token per note: NAME[accidental]OCTAVE or "r", then
// ":" and a length in sixteenths (kept until changed); a trailing ">"
// accents, "'" plays it short, "_" ties it fully into the next note. "|"
// marks bars and is only checked: the bar must be full. Returns the length
// in ticks.
uint32_t melody(Piece& p, smf::Track& t, int channel, uint32_t at, const std::string& text, int velocity,
                int transpose = 0, double legato = 0.92);
int parse_note(const std::string& name);  // "C#4" -> 61, -1 when malformed

struct Chord {
    int root;                  // pitch class
    int bass;                  // pitch class of the lowest note
    std::vector<int> intervals;  // above the root, 0 first
};
Chord parse_chord(const std::string& symbol);  // "Am7", "G/B", "Bbmaj7", "F#dim7", "Dsus4"
// A progression line: bars separated by "|", a bar may hold two chords.
struct TimedChord {
    uint32_t at, len;
    Chord chord;
};
std::vector<TimedChord> progression(uint32_t at, const std::string& text);

// Close voicing of `voices` notes with its lowest at or above `low`, chosen
// among the inversions to move least from `previous` (empty: lowest).
std::vector<int> voice(const Chord& c, int voices, int low, const std::vector<int>& previous);
int bass_note(const Chord& c, int low);  // the bass pitch class at or above low

// Drum grid: one character per sixteenth, repeated to fill `len`:
// 'X' accent, 'x' normal, 'o' ghost, '.' rest.
void drums(Piece& p, smf::Track& t, uint32_t at, uint32_t len, const std::string& grid, int key, int velocity);

// Rhythm over a progression: the grid (one character per sixteenth, laid
// against the bar) says when the notes sound: 'X' accented, 'x' normal,
// 'o' soft, '-' holds the previous hit on, '.' is silence. `keys` gives
// the notes of a hit for the chord sounding at that moment.
using KeysOf = std::function<std::vector<int>(const Chord&)>;
void comp(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, const std::string& grid,
          int velocity, const KeysOf& keys, double legato = 0.9);
// A bass or riff line over a progression: per sixteenth 'r' the chord's
// bass note, 'o' its octave, 'f' the fifth above, 'l' the fifth below,
// 't' the third, 's' the seventh (or octave), '-' hold, '.' rest.
void line(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, const std::string& grid,
          int low, int velocity, double legato = 0.85);
// Sustained voice-led chords, one per chord of the progression.
void pads(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, int voices, int low,
          int velocity);
// Broken chords: `order` indexes the voicing (past the top it wraps an
// octave up), one entry per `step` ticks, restarting at every chord.
void arpeggio(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords,
              const std::vector<int>& order, uint32_t step, int voices, int low, int velocity, double legato = 0.9);
uint32_t span_end(const std::vector<TimedChord>& chords);

// Controller ramp (expression, volume, ...) in eighth-note steps.
void ramp(smf::Track& t, int channel, int controller, uint32_t from, uint32_t to, int v0, int v1);

}  // namespace music
