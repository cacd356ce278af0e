// What the TV page plays for one song: the song's .mid as `convert` writes
// it by default, the guide melody's channel, and every word of the lyrics
// with the second it is sung at (100 % tempo, tick 0 of the MIDI file at 0 s,
// from the tempo map as the LRC and ASS writers read it). The page plays the
// MIDI and draws the words from these times; it never parses the lyrics out
// of the MIDI itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/decoded_song.hpp"
#include "format/record_error.hpp"

namespace kdb2mid {

struct KaraokeWord {
    std::string text;  // UTF-8, never empty, no spaces
    double seconds = 0;
};

struct KaraokeSong {
    std::int32_t song = 0;
    std::vector<std::string> titles;  // UTF-8
    std::vector<std::uint8_t> midi;   // a Standard MIDI File
    // The MIDI channel (0..15) of the track the singer follows; nothing when
    // no track follows the words closely enough.
    std::optional<int> melodyChannel;
    double seconds = 0;  // the song's length
    std::vector<std::vector<KaraokeWord>> lines;
};

// Decodes record into work and fills song from it; on an error song is left
// as it was. Reads only inside record.
RecordError makeKaraokeSong(std::int32_t number, std::span<const std::uint8_t> record,
                            DecodedSong& work, KaraokeSong& song);

// {"song":N,"titles":[...],"midi":"<base64>","melodyChannel":C or null,
//  "seconds":S,"lines":[{"words":[{"text":"...","time":S},...]},...]}
// Times to the millisecond; text well-formed UTF-8.
std::string karaokeJson(const KaraokeSong& song);

// RFC 4648 base64, with padding.
std::string base64(std::span<const std::uint8_t> bytes);

}  // namespace kdb2mid
