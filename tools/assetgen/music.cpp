// The four music tracks, composed here note by note and written as
// Standard MIDI Files (format 1) with General MIDI instruments.
#include <cstdlib>
#include <string>
#include <vector>

#include "assetgen.h"
#include "midi_writer.h"

namespace {

constexpr uint32_t kQuarter = 480;
constexpr uint32_t kSixteenth = kQuarter / 4;
constexpr uint32_t kBar = 4 * kQuarter;

// Parts are handed out as references while a piece is composed, so the
// track list never reallocates: room for every channel is made up front.
constexpr size_t kMaxTracks = 17;

smf::Song new_song()
{
    smf::Song song;
    song.tracks.reserve(kMaxTracks);
    song.tracks.push_back(smf::Track{});  // the conductor: tempo map and metre
    return song;
}

smf::Track& add_part(smf::Song& song, const std::string& name, int channel, int prog, int volume, int pan,
                     int reverb)
{
    if (song.tracks.size() >= kMaxTracks) std::abort();
    song.tracks.push_back(smf::Track{});
    smf::Track& t = song.tracks.back();
    smf::text(t, 0, 0x03, name);
    if (channel != 9) smf::program(t, 0, channel, prog);
    smf::control(t, 0, channel, 7, volume);
    smf::control(t, 0, channel, 10, pan);
    smf::control(t, 0, channel, 91, reverb);
    return t;
}

// An arrangement of the first prelude of the Well-Tempered Clavier: the
// harmony bar by bar as five voices, lowest first.
constexpr int kPrelude[35][5] = {
    {60, 64, 67, 72, 76}, {60, 62, 69, 74, 77}, {59, 62, 67, 74, 77}, {60, 64, 67, 72, 76},
    {60, 64, 69, 76, 81}, {60, 62, 66, 69, 74}, {59, 62, 67, 74, 79}, {59, 60, 64, 67, 72},
    {57, 60, 64, 67, 72}, {50, 57, 62, 66, 72}, {55, 59, 62, 67, 71}, {55, 58, 64, 67, 73},
    {53, 57, 62, 69, 74}, {53, 56, 62, 65, 71}, {52, 55, 60, 67, 72}, {52, 53, 57, 60, 65},
    {50, 53, 57, 60, 65}, {43, 50, 55, 59, 65}, {48, 52, 55, 60, 64}, {48, 55, 58, 60, 64},
    {41, 53, 57, 60, 64}, {42, 48, 57, 60, 63}, {44, 53, 59, 60, 62}, {43, 53, 55, 59, 62},
    {43, 52, 55, 60, 64}, {43, 50, 55, 60, 65}, {43, 50, 55, 59, 65}, {43, 51, 57, 60, 66},
    {43, 52, 55, 60, 67}, {43, 50, 55, 60, 65}, {43, 50, 55, 59, 65}, {36, 48, 55, 58, 64},
    {36, 48, 53, 57, 64}, {36, 47, 55, 62, 65}, {36, 48, 52, 55, 60},
};

smf::Song compose_classic(uint32_t& end)
{
    smf::Song song = new_song();
    smf::Track& conductor = song.tracks[0];
    smf::text(conductor, 0, 0x03, "Prelude in C");
    smf::time_signature(conductor, 0, 4, 2);
    smf::tempo(conductor, 0, 64);
    smf::tempo(conductor, 32 * kBar, 58);
    smf::tempo(conductor, 34 * kBar, 50);
    smf::Track& piano = add_part(song, "Piano", 0, 0, 100, 64, 40);
    for (int bar = 0; bar < 34; ++bar) {
        const int* c = kPrelude[bar];
        for (int half = 0; half < 2; ++half) {
            const uint32_t base = bar * kBar + half * 8 * kSixteenth;
            const int vel = 70 + (bar % 4 == 0 ? 6 : 0);
            smf::note(piano, base, 8 * kSixteenth, 0, c[0], vel);
            smf::note(piano, base + kSixteenth, 7 * kSixteenth, 0, c[1], vel - 6);
            const int upper[6] = {c[2], c[3], c[4], c[2], c[3], c[4]};
            for (int k = 0; k < 6; ++k) smf::note(piano, base + (2 + k) * kSixteenth, kSixteenth, 0, upper[k], vel - 8);
        }
    }
    const int* last = kPrelude[34];
    for (int k = 0; k < 5; ++k) smf::note(piano, 34 * kBar + k * 20, 2 * kBar - k * 20, 0, last[k], 72);
    end = 36 * kBar + kQuarter;
    return song;
}

// A plain chord-and-bass piece over a progression, for the first cut of the
// original tracks.
smf::Song compose_simple(uint32_t& end, double bpm, const std::vector<int>& roots, bool minor, int lead_prog,
                         bool drums, int bars)
{
    smf::Song song = new_song();
    smf::time_signature(song.tracks[0], 0, 4, 2);
    smf::tempo(song.tracks[0], 0, bpm);
    smf::Track& pad = add_part(song, "Pad", 0, lead_prog, 90, 50, 60);
    smf::Track& bass = add_part(song, "Bass", 1, 33, 100, 64, 20);
    for (int bar = 0; bar < bars; ++bar) {
        const int root = roots[static_cast<size_t>(bar) % roots.size()];
        const uint32_t t = static_cast<uint32_t>(bar) * kBar;
        smf::note(pad, t, kBar, 0, root + 12, 70);
        smf::note(pad, t, kBar, 0, root + 12 + (minor ? 3 : 4), 70);
        smf::note(pad, t, kBar, 0, root + 19, 70);
        for (int q = 0; q < 4; ++q) smf::note(bass, t + q * kQuarter, kQuarter - 20, 1, root - 12, 90);
    }
    if (drums) {
        smf::Track& kit = add_part(song, "Drums", 9, 0, 100, 64, 30);
        for (int bar = 0; bar < bars; ++bar) {
            const uint32_t t = static_cast<uint32_t>(bar) * kBar;
            for (int e = 0; e < 8; ++e) smf::note(kit, t + e * kQuarter / 2, 60, 9, 42, 70);
            smf::note(kit, t, 60, 9, 36, 100);
            smf::note(kit, t + 2 * kQuarter, 60, 9, 36, 100);
            smf::note(kit, t + kQuarter, 60, 9, 38, 100);
            smf::note(kit, t + 3 * kQuarter, 60, 9, 38, 100);
        }
    }
    end = static_cast<uint32_t>(bars) * kBar + kQuarter;
    return song;
}

}  // namespace

int write_music(const std::string& dir)
{
    struct Piece {
        const char* file;
        smf::Song song;
        uint32_t end;
    };
    std::vector<Piece> pieces;
    uint32_t end = 0;
    smf::Song s = compose_classic(end);
    pieces.push_back({"classic.mid", s, end});
    s = compose_simple(end, 132, {40, 48, 43, 50}, true, 81, true, 76);
    pieces.push_back({"midifile0.mid", s, end});
    s = compose_simple(end, 96, {38, 46, 43, 45}, true, 48, false, 56);
    pieces.push_back({"midifile3.mid", s, end});
    s = compose_simple(end, 70, {41, 43, 40, 45}, false, 89, false, 40);
    pieces.push_back({"midifile7.mid", s, end});
    for (const Piece& p : pieces) {
        if (!smf::write_file(dir + "/" + p.file, smf::encode(p.song, p.end))) return 0;
    }
    return 1;
}
