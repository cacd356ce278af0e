// Machine-readable song facts: one JSON object per song, on one line, for
// `list --json` and `info --json`. Text is UTF-8; bytes that do not decode
// are U+FFFD; the JSON writer escapes control characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kdb2mid {

// One chorus recording the song's record announces.
struct ChorusPartFacts {
    std::uint32_t part = 0;
    std::uint64_t bytes = 0;
    std::string file;     // the MP3 file name the chorus export writes it to
    std::string problem;  // empty, or what is wrong with its entry
};

// The guide melody: the data track whose notes begin where most words are
// sung.
struct MelodyFacts {
    int track = 0;            // counted from 1 in the .mid's order; 0 when no track qualifies
    std::size_t words = 0;    // words of the lyrics
    std::size_t covered = 0;  // words at which the best track begins a note
};

// What `info` tells about a song, as values.
struct SongFacts {
    std::int32_t song = 0;
    std::vector<std::string> titles;      // UTF-8
    std::size_t tracks = 0;               // data tracks
    std::uint64_t ticks = 0;
    double seconds = 0;
    std::vector<std::string> lyricLines;  // UTF-8, one per line that holds text
    std::vector<ChorusPartFacts> chorusParts;
    MelodyFacts melody;
};

// {"song":N,"name":"..."} without a line end.
std::string listJson(std::int32_t song, std::string_view name);

// {"song":N,"titles":[...],"tracks":N,"ticks":N,"seconds":S,"lyrics":[...],
//  "chorus":[{"part":N,"bytes":N,"file":"..."} or {"part":N,"problem":"..."}],
//  "melody":{"track":N or null,"words":N,"covered":N}}
// on one line, without a line end.
std::string infoJson(const SongFacts& facts);

}  // namespace kdb2mid
