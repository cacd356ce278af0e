// A song's lyrics as a CD+G graphics file, the .cdg that karaoke hosts and
// players show beside an MP3 of the same name.
//
// A title screen (title, artist) shows until the first line is drawn, for at
// least 3 s when the first word leaves room. The lyrics show four screen
// lines at a time; each line is drawn while earlier ones are sung, as soon as
// the line whose place it takes has been sung but at most 8 s before its
// first word, so it is on screen well before it is sung. A break of 8 s or
// more between lines clears the screen to the title and a bar that loses a
// tile at a time until the next line's first word. Each word turns from the
// unsung to the sung colour at its time, tile column by tile column, over
// the time until the next word (at most a second). A line whose words are
// all sung before the screen is free to take it is left out, so that the
// lines after it keep time. The file holds exactly
// one packet per 1/300 second of music, padded with empty packets; what
// does not fit in the music's time is left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cdg/text_raster.hpp"

namespace kdb2mid::cdg {

struct CdgWord {
    std::string text;   // UTF-8; any bytes are drawn (see TextRasteriser)
    double start = 0;   // seconds from the start of the music
    double end = -1;    // when the word ends, if known and after start
};

struct CdgLine {
    std::vector<CdgWord> words;
};

struct CdgInput {
    std::string title;
    std::string artist;
    std::vector<CdgLine> lines;
    double musicSeconds = 0;
};

// No file covers more music than this (three hours: 78 MB).
inline constexpr double kMaxMusicSeconds = 3 * 3600.0;

// The number of packets for musicSeconds of music: rounded up to whole
// packets, 0 for a negative or non-number length, capped at kMaxMusicSeconds.
std::size_t cdgPacketCount(double musicSeconds) noexcept;

// How well the file keeps time, for tests and measurements.
struct CdgTiming {
    std::size_t screenLines = 0;  // laid out and starting within the music
    std::size_t linesDrawn = 0;   // drawn whole before the music ends
    // Left out because their last word was sung before the screen could
    // take them (lyrics faster than 300 packets a second can draw).
    std::size_t linesLeftOut = 0;
    // The shortest time from a screen line drawn whole to its first word
    // (negative: drawn late), over the lines drawn.
    double earliestLead = 0;
    // The longest delay of a wipe packet after its time, over those sent.
    double latestWipe = 0;
};

// The whole file: cdgPacketCount(input.musicSeconds) packets of 24 bytes.
// Times out of order (or not numbers) are taken as the previous word's; a
// word past the end of the music is never drawn. Uses nothing but input and
// font, so its time and memory grow with the words and the music's length.
std::vector<std::uint8_t> writeCdg(const CdgInput& input, TextRasteriser& font,
                                   CdgTiming* timing = nullptr);

}  // namespace kdb2mid::cdg
