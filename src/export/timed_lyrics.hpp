// A song's lyrics as lines of words with the tick each word is sung at: what
// the text lyric formats (LRC, ASS, UltraStar) are written from.
//
// Each lyric event is decoded to UTF-8 on its own, as the .mid's UTF-8 lyric
// track writes it, so the words hold exactly the letters a player shows there.
// A word is the letters between spaces; its tick is the absolute tick of the
// lyric event that holds its first letter (the sum of the deltas before it, as
// the lyric track writes them). ASCII control characters count as spaces: a
// line break inside a word would end the line of a text file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/lyric_block.hpp"

namespace kdb2mid {

struct TimedWord {
    std::string text;  // UTF-8 (NFC), never empty, no spaces or control characters
    std::uint64_t tick;
};

struct TimedLine {
    std::vector<TimedWord> words;  // never empty, ticks never decrease
};

struct TimedLyrics {
    // Decoded, control characters shown as spaces; may be empty strings.
    std::vector<std::string> titles;
    // The stored lines that have letters, in order; lines of spaces only are left out.
    std::vector<TimedLine> lines;
};

// Reads the words of a lyric block that parseLyricBlock made from image.
TimedLyrics timedLyrics(std::span<const std::uint8_t> image, const LyricBlock& lyrics);

// A time in seconds as the text formats write it: whole hundredths, rounded
// to the nearest; negative and non-numbers are 0, and no time goes past
// about 31 years, so the count always fits.
std::int64_t centiseconds(double seconds) noexcept;

}  // namespace kdb2mid
