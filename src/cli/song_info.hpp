// What `kdb2mid info` tells about one song, as text made from its bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "format/decoded_song.hpp"
#include "format/record_error.hpp"

namespace kdb2mid {

// What the chorus files hold for the song, as read at the edge.
struct ChorusFacts {
    bool indexOpen = false;
    // The song's entries of CRS&TCK.IDX as read from its first entry on; fewer
    // bytes than announced when the file ends early.
    std::span<const std::uint8_t> entries;
    std::optional<std::uint64_t> dataSize;  // CHORUS.DAT's size; nothing if it does not open
};

// Writes the report for the song whose record this is into text: titles,
// data tracks, length in ticks and seconds, lyric lines and events, whether
// its text holds two-byte letters, chorus recordings, then the lyrics line by
// line. The record is decoded into song (kept between calls) by decodeSong,
// as for the files. Text is shown as UTF-8. On an error the record cannot be
// decoded and text is left empty. Reads only inside record and chorus.entries.
RecordError describeSong(std::int32_t songNumber, std::span<const std::uint8_t> record,
                         const ChorusFacts& chorus, DecodedSong& song, std::string& text);

}  // namespace kdb2mid
