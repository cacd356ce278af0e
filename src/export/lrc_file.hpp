// A song's lyrics as an LRC file with word times ("enhanced" LRC), the form
// music players show beside the audio.
//
//   [ti:first title]
//   [ar:second title]          (when there is a second title)
//   [length:mm:ss]
//   [re:kdb2mid VERSION]
//   [mm:ss.xx]<mm:ss.xx>word <mm:ss.xx>word ...
//
// One timed line per stored line with letters; its line time is its first
// word's. Times are rounded to the nearest hundredth of a second and never
// decrease. Minutes keep counting past 99 ("[100:00.00]"): players read the
// number whole, and a song that long is better shown late than wrapped to 0.
// UTF-8 without byte-order mark, every line ended by LF.
#pragma once

#include <string>
#include <string_view>

#include "export/timed_lyrics.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid {

struct LrcInput {
    const TimedLyrics& lyrics;
    const TempoMap& tempo;      // ticks to seconds
    double lengthSeconds;       // the song's, for [length:]
    std::string_view version;   // of kdb2mid, for [re:]
};

// The whole file. A song without lyric lines gets the tags alone; callers
// write no file for it.
std::string writeLrc(const LrcInput& input);

}  // namespace kdb2mid
