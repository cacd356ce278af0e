// The lyric track of a .mid: the titles as track names, one lyric event per
// letter group, made from a parsed lyric block (format/lyric_block.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/lyric_block.hpp"
#include "format/record_error.hpp"

namespace kdb2mid {

// How the titles and lyric texts are written.
enum class LyricText : std::uint8_t {
    stored,  // the database's bytes, unchanged (the default)
    utf8,    // decoded to UTF-8
};

// Players that show lyric events break lines where a lyric ends in a
// carriage return and start a new paragraph (a cleared screen) after a line
// feed. The database's lyric block has lines but no verses; a paragraph is
// this many lines, the page a .kar shows, so both files turn pages alike.
inline constexpr std::size_t kLyricLinesPerParagraph = 4;
inline constexpr char kLyricLineEnd = '\r';
inline constexpr char kLyricParagraphEnd = '\n';

// Appends the complete lyric track chunk ("MTrk", length, track-name events
// for the titles, lyric events, end of track). The events and their times are
// those of the stored bytes whatever the text: with LyricText::utf8 each
// title and each lyric event is decoded on its own, and the last event of
// each line that has text gets kLyricLineEnd, or kLyricParagraphEnd on every
// kLyricLinesPerParagraph-th line and the last one, so only the texts and
// their lengths change. Stored text gets no line ends: every byte as stored. Fails only when a decoded text or the whole track is
// too long for a MIDI file (textTooLong); chunk is then left partly written.
RecordError writeLyricTrack(std::span<const std::uint8_t> image, const LyricBlock& lyrics,
                            std::vector<std::uint8_t>& chunk,
                            LyricText text = LyricText::stored);

}  // namespace kdb2mid
