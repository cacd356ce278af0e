// The CD+G writer's input from a converted song: its lyric lines with each
// word's time in seconds read through the song's tempo (after any --tempo
// change, so the words keep time with the music they are shown over).
#pragma once

#include "cdg/cdg_writer.hpp"
#include "export/timed_lyrics.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid::cdg {

// Title and artist are the first two stored titles, when present. Every word
// comes leadInSeconds later than the song has it: the MP3's sound starts
// after that much silence.
CdgInput cdgInput(const TimedLyrics& lyrics, const TempoMap& tempo, double musicSeconds,
                  double leadInSeconds = 0);

}  // namespace kdb2mid::cdg
