// A song's lyrics as Advanced SubStation Alpha (v4.00+) karaoke subtitles,
// which video players render over a picture through libass; the karaoke
// video draws the same document.
//
// Screen 1920 x 1080, everything inside a 5 % margin. Lines take turns on two
// rows in the middle of the picture, as karaoke players show them: while one
// row is sung the other already shows the next line. The upper row sits just
// above the middle and grows upwards when a long line takes two rows of text,
// the lower row just below it and grows downwards, so they never cover each
// other. A line's capitals are 8 % of the picture's height; a line too wide
// for the picture is split at the word that makes its two halves most even,
// then made smaller down to two thirds of that size, and only a line too long
// even then loses its last words (or letters) to an ellipsis.
//
// A line appears as soon as the line before it on its row has been sung,
// but at most kAssReadAhead before its first word; it goes kAssTail after its
// last word ends.
//
// Around the lines: a title screen (the title, the second title below it) in
// the middle of the picture from the start until the first lines appear,
// which is at least kTitleScreenShortest when the first word leaves room
// (the video starts with silence when it does not: title_lead_in.hpp); during
// an instrumental break the title small at the top and a bar below the rows
// that runs out when the next line is sung; and a countdown of three dots
// above the rows, one going each second, before the first line and before the
// first line after every break.
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
inline constexpr std::int64_t kAssReadAhead = 800;
inline constexpr std::int64_t kAssTail = 20;
// The last word of a line has no next word to end it: it fills for this long,
// or until the next line begins if that is sooner.
inline constexpr std::int64_t kAssLastWord = 100;
// A gap this long between the end of a line's last word and the next line's
// first word is an instrumental break, which ends with a countdown.
inline constexpr std::int64_t kAssBreak = 800;
// The countdown: this many dots, one going every kAssCountdownStep.
inline constexpr int kAssCountdownDots = 3;
inline constexpr std::int64_t kAssCountdownStep = 100;
// A title screen that would show for less than this is left out (a song
// whose first word comes early, without the video's lead-in).
inline constexpr std::int64_t kAssTitleShortest = 100;

struct AssInput {
    const TimedLyrics& lyrics;
    const TempoMap& tempo;     // ticks to seconds
    std::string_view version;  // of kdb2mid, named in a comment
    // Hundredths of silence the picture's sound starts with (titleLeadIn):
    // every time in the document comes this much later.
    std::int64_t leadIn = 0;
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
