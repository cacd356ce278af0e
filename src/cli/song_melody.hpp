// The guide melody of a song as `info` reports it: the data track whose notes
// begin where the words are sung, and how many of the words it covers.
#pragma once

#include <string>

#include "cli/song_json.hpp"
#include "format/decoded_song.hpp"

namespace kdb2mid {

// The melody of a decoded song (decodeSong has passed), chosen as the
// UltraStar export chooses it (findMelody over every data track's notes and
// every lyric word's tick). Reads only inside the song's image.
MelodyFacts songMelody(const DecodedSong& song);

// "track 2, 7 of 7 words (100%)", "none found (best track covers 40% of
// words)" or "none (no words to sing)". Shares are rounded down, so a track
// that falls short of the melody's share never shows it.
std::string describeMelody(const MelodyFacts& melody);

}  // namespace kdb2mid
