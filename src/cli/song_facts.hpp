// The facts `info --json` gives about one song, gathered from its record and
// its chorus entries: the values behind `info`'s report.
#pragma once

#include <cstdint>
#include <span>

#include "midi/midi_file.hpp"
#include "cli/song_info.hpp"
#include "format/record_error.hpp"
#include "cli/song_json.hpp"

namespace kdb2mid {

// Fills facts for the song whose record this is: titles and lyric lines as
// UTF-8 (leading spaces of a line dropped; malformed or control characters
// are left for the JSON writer to replace or escape), data tracks, length in
// ticks and seconds, and each chorus part whose CRS&TCK.IDX entry is there.
// On an error the record cannot be decoded and facts is left as it was.
// Reads only inside record and chorus.entries.
RecordError gatherSongFacts(std::int32_t songNumber, std::span<const std::uint8_t> record,
                            const ChorusFacts& chorus, DecodedSong& work, SongFacts& facts);

}  // namespace kdb2mid
