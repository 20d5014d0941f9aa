// The four music tracks, composed in the music_*.cpp files and written here
// as Standard MIDI Files (format 1, General MIDI).
#include <string>

#include "assetgen.h"
#include "midi_writer.h"
#include "music_pieces.h"

int write_music(const std::string& dir)
{
    struct Track {
        const char* file;
        music::Piece (*compose)();
    };
    static constexpr Track kTracks[] = {
        {"classic.mid", music::compose_classic},
        {"midifile0.mid", music::compose_driving},
        {"midifile3.mid", music::compose_tense},
        {"midifile7.mid", music::compose_drifting},
    };
    for (const Track& t : kTracks) {
        const music::Piece piece = t.compose();
        if (!smf::write_file(dir + "/" + t.file, smf::encode(piece.song, piece.end))) return 0;
    }
    return 1;
}
