// The four pieces of the game's music, each composed into a Piece.
#pragma once

#include "music_kit.h"

namespace music {

Piece compose_classic();    // classic.mid
Piece compose_driving();    // midifile0.mid
Piece compose_tense();      // midifile3.mid
Piece compose_drifting();   // midifile7.mid

}  // namespace music
