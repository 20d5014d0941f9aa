// The four music tracks, composed in the music_*.cpp files and written here
// as Standard MIDI Files (format 1, General MIDI).
#include <string>

#include "assetgen.h"
#include "base/data_files.h"
#include "base/file.h"
#include "midi_writer.h"
#include "music_pieces.h"

int write_music(const std::string& dir)
{
    struct Track {
        DataFile file;
        music::Piece (*compose)();
    };
    static constexpr Track kTracks[] = {
        {DATA_MUSIC_CLASSIC, music::compose_classic},
        {DATA_MUSIC_0, music::compose_driving},
        {DATA_MUSIC_3, music::compose_tense},
        {DATA_MUSIC_7, music::compose_drifting},
    };
    for (const Track& t : kTracks) {
        const music::Piece piece = t.compose();
        if (!write_file((dir + "/" + data_file_name(t.file)).c_str(), smf::encode(piece.song, piece.end))) return 0;
    }
    return 1;
}
