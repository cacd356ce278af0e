// A song as a karaoke MIDI file (".kar"), the form most karaoke players read.
//
// Layout: format 1, division 120, the song's data tracks exactly as in its
// .mid (their texts decoded when the lyrics are), then one "Words" track in place of the .mid's lyric track. The Words
// track holds, at time 0, the text events "@KMIDI KARAOKE FILE", "@V0100" and
// one "@T<title>" per non-empty title; then one text event (FF 01) per lyric
// event of the song at the same absolute time as in the .mid. A line's first
// event starts with "/" (new line), or with "\" (new page) on every fourth
// line that has text, the first line included.
//
// The .mid's lyric events (FF 05) are left out: a player that reads both
// kinds would show every letter twice, and the .mid keeps them for the
// players that read those.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "format/byte_sink.hpp"
#include "format/decoded_song.hpp"
#include "format/record_error.hpp"
#include "midi/lyric_track.hpp"
#include "midi/midi_file.hpp"

namespace kdb2mid {

inline constexpr std::string_view kKaraokeTrackName = "Words";
inline constexpr std::string_view kKaraokeFileMark = "@KMIDI KARAOKE FILE";
inline constexpr std::string_view kKaraokeVersion = "@V0100";
inline constexpr std::string_view kKaraokeTitleMark = "@T";
inline constexpr char kKaraokeNewLine = '/';
inline constexpr char kKaraokeNewPage = '\\';

// Karaoke players show a few lines at a time; a page of four lines is a
// verse on screen, and clears the screen half as often as pages of two.
// The .mid's lyric track ends its paragraphs at the same lines.
inline constexpr std::size_t kKaraokeLinesPerPage = kLyricLinesPerParagraph;

// Players read text events into fixed buffers of about a kilobyte: no text
// event holds more bytes than this. A longer text is split into several
// events at the same time (the later ones without a line mark); a title
// split so repeats its "@T" mark. UTF-8 text is split between characters.
inline constexpr std::size_t kMaxKaraokeTextBytes = 999;

// Appends the Words track chunk for a parsed lyric block, its texts stored
// or decoded as text says. Fails only when the chunk would be too long for
// its 32-bit length (textTooLong).
RecordError writeKaraokeTrack(std::span<const std::uint8_t> image, const LyricBlock& lyrics,
                              LyricText text, std::vector<std::uint8_t>& chunk);

// Writes the song's .kar to out; the Words track is built in trackBuffer
// (kept between songs) first, so on an error nothing has been written.
RecordError writeKaraokeFile(const DecodedSong& song, LyricText text, ByteSink& out,
                             std::vector<std::uint8_t>& trackBuffer);

// Decodes record and appends its .kar to out (see recordToFile).
inline RecordError recordToKaraoke(std::span<const std::uint8_t> record,
                                   std::vector<std::uint8_t>& out, LyricText text) {
    return recordToFile(writeKaraokeFile, record, out, text);
}

}  // namespace kdb2mid
