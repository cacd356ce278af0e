// The silence a karaoke picture (the video, the MP3+G) starts with so that
// every song opens on its title screen: the title shows at least
// kTitleScreenShortest, then the first lines come up at least
// kFirstLineAhead before their first word. A song whose first word comes
// later than the two together needs none. The picture and its own sound both
// start this much later, so they stay in time with each other; the audio
// file and the subtitles alone keep the song's own timing.
#pragma once

#include <cstdint>

#include "export/timed_lyrics.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid {

// In hundredths of a second.
inline constexpr std::int64_t kTitleScreenShortest = 300;
inline constexpr std::int64_t kFirstLineAhead = 200;

// Hundredths of silence to put before the song's sound and pictures; 0 for
// a song without lyric lines or without a title to show.
std::int64_t titleLeadIn(const TimedLyrics& lyrics, const TempoMap& tempo);

}  // namespace kdb2mid
