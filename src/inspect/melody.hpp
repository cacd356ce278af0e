// The guide melody: the data track whose notes the singer follows, chosen
// once for everything that reads it (the UltraStar notes, the instrumental
// rendered without it, `info`).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "export/timed_lyrics.hpp"
#include "format/decoded_song.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

// The track whose notes the singer follows, chosen by findMelody.
struct MelodyChoice {
    int track = -1;         // index into the tracks given, -1 when none qualifies
    double coverage = 0.0;  // share of the words the best track covers, 0..1
};

// The share of words a track must cover to count as the melody.
inline constexpr double kMelodyCoverage = 0.6;

// Scores each track by how many words begin exactly at a tick where one of
// its notes begins (notes on the drum channel, 9, don't count) and picks the
// best one if it covers at least kMelodyCoverage of the words. Of tracks that
// score alike, the one with fewer distinct note starts wins (a chord or bass
// track that shares the melody's rhythm plays more), then the lower index.
// coverage is the best track's share even when it falls short.
MelodyChoice findMelody(std::span<const std::vector<Note>> tracks,
                        std::span<const std::uint64_t> wordTicks);

// The melody of a decoded song: findMelody over every data track's notes (as
// they will be written, after a key or tempo change) and the ticks of every
// word of lyrics. notes gets each data track's notes.
MelodyChoice songMelody(const DecodedSong& song, const TimedLyrics& lyrics,
                        std::vector<std::vector<Note>>& notes);

// Whether the melody track also plays accompaniment: two of its notes (not
// the drums') sound together longer than a legato's overlap, or another
// track plays notes on a channel it plays on. Its sound cannot then be told
// from the accompaniment's.
bool melodyShared(std::span<const std::vector<Note>> tracks, std::size_t melody);

// The number of words of lyrics.
std::size_t wordCount(const TimedLyrics& lyrics);

}  // namespace kdb2mid
