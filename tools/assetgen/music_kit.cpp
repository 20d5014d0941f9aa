#include "music_kit.h"
#include "portable_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace music {

namespace {

constexpr size_t kMaxTracks = 17;  // the conductor and one per channel

[[noreturn]] void fail(const std::string& what)
{
    // A slip in a score is a bug in the generator: stop the build loudly.
    std::fprintf(stderr, "kestrava-assetgen: bad score: %s\n", what.c_str());
    std::abort();
}

int pitch_class(const std::string& s, size_t& pos)
{
    static constexpr int kNatural[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (pos >= s.size() || s[pos] < 'A' || s[pos] > 'G') return -1;
    int pc = kNatural[s[pos] - 'A'];
    ++pos;
    while (pos < s.size() && (s[pos] == '#' || s[pos] == 'b')) {
        pc += s[pos] == '#' ? 1 : -1;
        ++pos;
    }
    return (pc + 12) % 12;
}

}  // namespace

Piece new_piece(const std::string& title, double bpm, uint64_t seed, Level level)
{
    Piece p{smf::Song{}, synth::rng_seeded(seed), 0, level};
    p.song.tracks.reserve(kMaxTracks);
    p.song.tracks.push_back(smf::Track{});
    smf::Track& c = p.song.tracks[0];
    smf::text(c, 0, 0x03, title);
    smf::time_signature(c, 0, 4, 2);
    smf::tempo(c, 0, bpm);
    return p;
}

smf::Track& conductor(Piece& p) { return p.song.tracks[0]; }

int faded_volume(int volume, double fader_db)
{
    const double v = volume * portable::pow(10.0, fader_db / 40.0);
    return std::clamp(static_cast<int>(std::lround(v)), 0, 127);
}

smf::Track& add_part(Piece& p, const std::string& name, int channel, int program, int volume, int pan,
                     int reverb, int chorus)
{
    if (p.song.tracks.size() >= kMaxTracks) fail("too many parts");
    p.song.tracks.push_back(smf::Track{});
    smf::Track& t = p.song.tracks.back();
    smf::text(t, 0, 0x03, name);
    if (channel != kDrums) smf::program(t, 0, channel, program);
    smf::control(t, 0, channel, 7, faded_volume(volume, p.level.fader_db));
    smf::control(t, 0, channel, 11, 127);
    smf::control(t, 0, channel, 10, pan);
    smf::control(t, 0, channel, 91, reverb);
    smf::control(t, 0, channel, 93, chorus);
    return t;
}

void play(Piece& p, smf::Track& t, int channel, uint32_t at, uint32_t len, int key, int velocity)
{
    const int wobble = static_cast<int>(synth::rng_next(p.rng) % 7) - 3;
    const int scaled = static_cast<int>(velocity * p.level.touch + 0.5);
    smf::note(t, at, len, channel, key, std::clamp(scaled + wobble, 1, 127));
    p.end = std::max(p.end, at + len);
}

int parse_note(const std::string& name)
{
    size_t pos = 0;
    const int pc = pitch_class(name, pos);
    if (pc < 0 || pos >= name.size()) return -1;
    const bool negative = name[pos] == '-';
    if (negative) ++pos;
    if (pos + 1 != name.size() || name[pos] < '0' || name[pos] > '9') return -1;
    const int octave = (name[pos] - '0') * (negative ? -1 : 1);
    // Spelling such as B#3 or Cb4 crosses the octave line the way it reads.
    int key = (octave + 1) * 12 + pc;
    if (name[0] == 'B' && pc == 0) key += 12;
    if (name[0] == 'C' && pc == 11) key -= 12;
    return key;
}

uint32_t melody(Piece& p, smf::Track& t, int channel, uint32_t at, const std::string& text, int velocity,
                int transpose, double legato)
{
    std::istringstream in(text);
    std::string tok;
    uint32_t now = at;
    uint32_t bar_start = at;
    uint32_t len = kQuarter;
    int tied_key = -1;
    uint32_t tied_from = 0;
    while (in >> tok) {
        if (tok == "|") {
            if (now - bar_start != kBar) fail("bar of " + std::to_string(now - bar_start) + " ticks in: " + text);
            bar_start = now;
            continue;
        }
        bool accent = false, staccato = false, tie = false;
        while (!tok.empty() && (tok.back() == '>' || tok.back() == '\'' || tok.back() == '_')) {
            accent |= tok.back() == '>';
            staccato |= tok.back() == '\'';
            tie |= tok.back() == '_';
            tok.pop_back();
        }
        const size_t colon = tok.find(':');
        const std::string name = tok.substr(0, colon);
        if (colon != std::string::npos) {
            const int n = std::atoi(tok.c_str() + colon + 1);
            if (n <= 0) fail("length in " + tok);
            len = static_cast<uint32_t>(n) * kSixteenth;
        }
        if (name == "r") {
            if (tied_key >= 0) fail("tie into a rest in: " + text);
            now += len;
            continue;
        }
        const int key = parse_note(name);
        if (key < 0) fail("note " + tok);
        const int k = key + transpose;
        if (tied_key >= 0 && k != tied_key) fail("tie into another note in: " + text);
        if (tied_key < 0) tied_from = now;
        if (tie) {
            tied_key = k;
        } else {
            const uint32_t full = now + len - tied_from;
            const double share = staccato ? 0.45 : legato;
            const uint32_t sound = std::max<uint32_t>(static_cast<uint32_t>(full * share), kSixteenth / 4);
            play(p, t, channel, tied_from, sound, k, velocity + (accent ? 16 : 0));
            tied_key = -1;
        }
        now += len;
    }
    if (tied_key >= 0) fail("open tie in: " + text);
    return now - at;
}

Chord parse_chord(const std::string& symbol)
{
    size_t pos = 0;
    Chord c;
    c.root = pitch_class(symbol, pos);
    if (c.root < 0) fail("chord " + symbol);
    const size_t slash = symbol.find('/', pos);
    const std::string kind = symbol.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    struct Kind {
        const char* name;
        std::vector<int> iv;
    };
    static const Kind kKinds[] = {
        {"", {0, 4, 7}},          {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},     {"m7", {0, 3, 7, 10}},
        {"maj7", {0, 4, 7, 11}},  {"sus4", {0, 5, 7}},       {"sus2", {0, 2, 7}},      {"7sus4", {0, 5, 7, 10}},
        {"dim", {0, 3, 6}},       {"dim7", {0, 3, 6, 9}},    {"m7b5", {0, 3, 6, 10}},  {"add9", {0, 4, 7, 14}},
        {"madd9", {0, 3, 7, 14}}, {"maj9", {0, 4, 7, 11, 14}}, {"m9", {0, 3, 7, 10, 14}}, {"6", {0, 4, 7, 9}},
        {"5", {0, 7}},            {"aug", {0, 4, 8}},        {"7b9", {0, 4, 7, 10, 13}},
    };
    bool found = false;
    for (const Kind& k : kKinds) {
        if (kind == k.name) {
            c.intervals = k.iv;
            found = true;
            break;
        }
    }
    if (!found) fail("chord kind " + symbol);
    c.bass = c.root;
    if (slash != std::string::npos) {
        size_t bp = slash + 1;
        c.bass = pitch_class(symbol, bp);
        if (c.bass < 0 || bp != symbol.size()) fail("chord bass " + symbol);
    }
    return c;
}

std::vector<TimedChord> progression(uint32_t at, const std::string& text)
{
    std::vector<TimedChord> out;
    std::istringstream bars_in(text);
    std::string bar;
    uint32_t now = at;
    while (std::getline(bars_in, bar, '|')) {
        std::istringstream in(bar);
        std::vector<std::string> names;
        std::string n;
        while (in >> n) names.push_back(n);
        if (names.empty()) continue;
        const uint32_t each = kBar / static_cast<uint32_t>(names.size());
        for (const std::string& name : names) {
            out.push_back(TimedChord{now, each, parse_chord(name)});
            now += each;
        }
    }
    return out;
}

std::vector<int> voice(const Chord& c, int voices, int low, const std::vector<int>& previous)
{
    std::vector<int> pcs;
    for (int iv : c.intervals) pcs.push_back((c.root + iv) % 12);
    std::vector<int> best;
    long best_cost = -1;
    for (size_t rot = 0; rot < pcs.size(); ++rot) {
        std::vector<int> v;
        int note = low;
        while ((note % 12 + 12) % 12 != pcs[rot]) ++note;
        v.push_back(note);
        for (int i = 1; i < voices; ++i) {
            const int pc = pcs[(rot + static_cast<size_t>(i)) % pcs.size()];
            int next = v.back() + 1;
            while ((next % 12 + 12) % 12 != pc) ++next;
            v.push_back(next);
        }
        long cost = 0;
        if (previous.empty()) {
            cost = v.back();
        } else {
            for (size_t i = 0; i < v.size(); ++i) cost += std::abs(v[i] - previous[std::min(i, previous.size() - 1)]);
        }
        if (best_cost < 0 || cost < best_cost) {
            best_cost = cost;
            best = v;
        }
    }
    return best;
}

int bass_note(const Chord& c, int low)
{
    int note = low;
    while ((note % 12 + 12) % 12 != c.bass) ++note;
    return note;
}

void drums(Piece& p, smf::Track& t, uint32_t at, uint32_t len, const std::string& grid, int key, int velocity)
{
    if (grid.empty()) return;
    for (uint32_t step = 0; step * kSixteenth < len; ++step) {
        const char c = grid[step % grid.size()];
        int v = 0;
        if (c == 'X') v = velocity + 22;
        if (c == 'x') v = velocity;
        if (c == 'o') v = velocity - 30;
        if (v > 0) play(p, t, kDrums, at + step * kSixteenth, kSixteenth, key, v);
    }
}

namespace {

const TimedChord& chord_at(const std::vector<TimedChord>& chords, uint32_t tick)
{
    for (const TimedChord& c : chords)
        if (tick >= c.at && tick < c.at + c.len) return c;
    return chords.back();
}

}  // namespace

uint32_t span_end(const std::vector<TimedChord>& chords)
{
    return chords.empty() ? 0 : chords.back().at + chords.back().len;
}

void comp(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, const std::string& grid,
          int velocity, const KeysOf& keys, double legato)
{
    if (chords.empty() || grid.empty()) return;
    const uint32_t from = chords.front().at, to = span_end(chords);
    for (uint32_t tick = from; tick < to; tick += kSixteenth) {
        const size_t step = (tick / kSixteenth) % grid.size();
        const char c = grid[step];
        if (c != 'X' && c != 'x' && c != 'o') continue;
        uint32_t len = kSixteenth;
        while (tick + len < to && grid[((tick + len) / kSixteenth) % grid.size()] == '-') len += kSixteenth;
        const int vel = velocity + (c == 'X' ? 14 : c == 'o' ? -22 : 0);
        const uint32_t sound = std::max<uint32_t>(static_cast<uint32_t>(len * legato), kSixteenth / 3);
        for (int k : keys(chord_at(chords, tick).chord)) play(p, t, channel, tick, sound, k, vel);
    }
}

void line(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, const std::string& grid,
          int low, int velocity, double legato)
{
    if (chords.empty() || grid.empty()) return;
    const uint32_t from = chords.front().at, to = span_end(chords);
    for (uint32_t tick = from; tick < to; tick += kSixteenth) {
        const char c = grid[(tick / kSixteenth) % grid.size()];
        if (c == '-' || c == '.') continue;
        const Chord& ch = chord_at(chords, tick).chord;
        const int root = bass_note(ch, low);
        const int third = root + ((ch.root + ch.intervals[1 % ch.intervals.size()] - ch.bass + 24) % 12);
        int key = root;
        switch (c) {
        case 'r': key = root; break;
        case 'o': key = root + 12; break;
        case 'f': key = root + 7; break;
        case 'l': key = root - 5; break;
        case 't': key = third; break;
        case 's': key = ch.intervals.size() > 3 ? root + ((ch.root + ch.intervals[3] - ch.bass + 24) % 12) : root + 12; break;
        default: fail(std::string("line grid character ") + c);
        }
        uint32_t len = kSixteenth;
        while (tick + len < to && grid[((tick + len) / kSixteenth) % grid.size()] == '-') len += kSixteenth;
        const bool downbeat = tick % kBar == 0;
        const uint32_t sound = std::max<uint32_t>(static_cast<uint32_t>(len * legato), kSixteenth / 3);
        play(p, t, channel, tick, sound, key, velocity + (downbeat ? 8 : 0));
    }
}

void pads(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords, int voices, int low,
          int velocity)
{
    std::vector<int> prev;
    for (const TimedChord& c : chords) {
        prev = voice(c.chord, voices, low, prev);
        for (int k : prev) play(p, t, channel, c.at, c.len - kSixteenth / 4, k, velocity);
    }
}

void arpeggio(Piece& p, smf::Track& t, int channel, const std::vector<TimedChord>& chords,
              const std::vector<int>& order, uint32_t step, int voices, int low, int velocity, double legato)
{
    std::vector<int> prev;
    for (const TimedChord& c : chords) {
        prev = voice(c.chord, voices, low, prev);
        size_t i = 0;
        for (uint32_t tick = c.at; tick < c.at + c.len; tick += step, ++i) {
            const int idx = order[i % order.size()];
            const int key = prev[static_cast<size_t>(idx) % prev.size()] + 12 * (idx / static_cast<int>(prev.size()));
            const int vel = velocity + (i % 4 == 0 ? 6 : 0);
            play(p, t, channel, tick, std::max<uint32_t>(static_cast<uint32_t>(step * legato), 10), key, vel);
        }
    }
}

void ramp(smf::Track& t, int channel, int controller, uint32_t from, uint32_t to, int v0, int v1)
{
    if (to <= from) {
        smf::control(t, from, channel, controller, v1);
        return;
    }
    int last = -1;
    for (uint32_t tick = from; tick <= to; tick += kEighth / 2) {
        const double u = static_cast<double>(tick - from) / static_cast<double>(to - from);
        const int v = static_cast<int>(v0 + (v1 - v0) * u + 0.5);
        if (v != last) smf::control(t, tick, channel, controller, v);
        last = v;
    }
    if (last != v1) smf::control(t, to, channel, controller, v1);
}

}  // namespace music
