// A song's lyrics as Advanced SubStation Alpha (v4.00+) karaoke subtitles,
// which video players render over a picture through libass.
//
// Screen 1920 x 1080. Lines take turns on two rows near the bottom, as
// karaoke players show them: while one row is sung the other shows the next
// line. The upper row grows upwards and the lower row downwards when a long
// line wraps, so the rows never cover each other. A line appears up to
// kAssLeadIn before its first word, but never before the line it replaces
// on its row has gone; it goes kAssTail after its last word ends.
//
// Around the lines: a title card (the song's title, the artist below it) in
// the middle of the frame from the start until shortly before the first line
// appears, and a countdown of three dots above the rows, one going each
// second, during the last seconds before the first line is sung and before
// the first line after every instrumental break.
//
// Words fill from the unsung to the sung colour with {\kf}: every duration is
// the difference of two rounded absolute times, so each word starts filling
// within a hundredth of a second of its time, however long the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "export/timed_lyrics.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid {

// In hundredths of a second.
inline constexpr std::int64_t kAssLeadIn = 200;
inline constexpr std::int64_t kAssTail = 50;
// The last word of a line has no next word to end it: it fills for this long,
// or until the next line begins if that is sooner.
inline constexpr std::int64_t kAssLastWord = 100;
// A gap this long between the end of a line's last word and the next line's
// first word is an instrumental break, which ends with a countdown.
inline constexpr std::int64_t kAssBreak = 800;
// The countdown: this many dots, one going every kAssCountdownStep.
inline constexpr int kAssCountdownDots = 3;
inline constexpr std::int64_t kAssCountdownStep = 100;
// The title card goes this long before the first line appears, and is left
// out when it would show for less than kAssTitleShortest.
inline constexpr std::int64_t kAssTitleGap = 50;
inline constexpr std::int64_t kAssTitleShortest = 100;

struct AssInput {
    const TimedLyrics& lyrics;
    const TempoMap& tempo;     // ticks to seconds
    std::string_view version;  // of kdb2mid, named in a comment
};

// The whole file, UTF-8 without byte-order mark, LF line ends. Callers write
// no file for a song without lyric lines.
std::string writeAss(const AssInput& input);

// Lyric text made safe for a Dialogue's text: "{" and "}" would open and
// close override blocks and a backslash could form \N, \n or \h; the braces
// are escaped as libass reads them ("\{", "\}") and a backslash is followed
// by an invisible word joiner (U+2060).
std::string escapeAssText(std::string_view text);

}  // namespace kdb2mid
