// The lyric block at the end of a song image: titles, lyric lines and their times.
//
// Layout from the lead byte B (table entry N-2) on: the lead byte itself,
// then titles (text, NUL, separator byte, text, NUL, ...) ended by a 0x20 that
// is also the first text byte of the first lyric line. Each line: an optional
// '0' mark, text up to a NUL, three unused bytes, then one big-endian 16-bit
// time word per lyric event that the text groups into. A line's first word is
// its absolute time; later words are deltas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/record_error.hpp"
#include "format/song_image.hpp"

namespace kdb2mid {

// Bytes that are a whole letter by themselves (single-byte Vietnamese letters).
bool isWholeLetterCode(std::uint8_t code) noexcept;
// Bytes that begin a new letter even though they are above 0x7E.
bool isLetterStartCode(std::uint8_t code) noexcept;
// Whether the lyric event that holds `current` ends after it, given the byte
// that follows (the line's NUL after its last text byte). Otherwise `next` is
// a modifier byte that belongs to the same letter.
bool closesLyricEvent(std::uint8_t current, std::uint8_t next) noexcept;

// The longest title or lyric text an event of a MIDI file can hold: its
// length is a variable-length number of at most four 7-bit groups.
inline constexpr std::uint32_t kMaxEventTextBytes = 0x0FFFFFFF;

struct TextRef {
    std::uint32_t offset;  // into the image
    std::uint32_t length;
};

// The bytes a TextRef names; parseLyricBlock only makes refs inside the image.
inline std::span<const std::uint8_t> textBytes(std::span<const std::uint8_t> image, TextRef text) {
    return image.subspan(text.offset, text.length);
}

struct LyricEvent {
    TextRef text;
    std::uint32_t line;  // index of the line it belongs to
    // Ticks after the previous lyric event, as written: a time word, or the
    // difference of one and the running time, so never above 65535.
    std::uint16_t delta;
    bool firstInLine;
};
// A lyric block can hold one event for every three image bytes, which makes
// this list the largest buffer of a conversion: keep an event small.
static_assert(sizeof(LyricEvent) <= 16);

struct LyricBlock {
    std::vector<TextRef> titles;
    std::vector<LyricEvent> events;
    std::uint32_t lineCount = 0;
};

// Reads the titles and lyric lines of the image's lyric block, which starts
// at the lead byte at table entry N-2. Every read is bounded by the image: a
// title list without its 0x20 mark ends at the image's end, and no line starts
// within the last 8 bytes; a line whose text or time words run past the image
// is refused.
RecordError parseLyricBlock(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                            LyricBlock& lyrics);

// Whether any title or lyric of the block holds bytes above 0x7F, i.e.
// two-byte letters that need decoding to be read.
bool hasEncodedLetters(std::span<const std::uint8_t> image, const LyricBlock& lyrics) noexcept;

}  // namespace kdb2mid
