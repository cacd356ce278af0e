// One raw record of the older song database copied into a file of its own:
// root/9703/song.idx + song.dat -> root/<song>.dat.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

// Where a song's record lies in song.dat, or why it has none.
// The outcomes are SONG.IDX's (io/song_database.hpp), for song.idx and
// song.dat: found (also for equal entries: the record is 0 bytes long),
// belowFirstSong, pastIndexEnd (song.idx holds no entry pair for the
// number), endBeforeStart (the entry after the song's is smaller than its
// own), pastDataEnd (the record runs past the end of song.dat).
struct LegacyRecordLocation {
    using Outcome = RecordLookup::Outcome;
    Outcome outcome = Outcome::found;
    std::uint64_t start = 0;   // byte offset in song.dat
    std::uint64_t length = 0;  // bytes
};

// The record that song.idx's entry pair (8 bytes: the song's entry and the
// next) gives, checked against song.dat's size. Reads nothing outside entries.
LegacyRecordLocation legacyRecordAt(std::span<const std::uint8_t, 8> entries,
                                    std::uint64_t dataSize) noexcept;

// Looks the song up in the open song.idx; reads only its two entries.
LegacyRecordLocation locateLegacyRecord(std::int32_t songNumber, const RandomAccessFile& index,
                                        std::uint64_t dataSize);

// Copies a found record from song.dat into out, through buffer in blocks of a
// fixed size (memory does not grow with the record). false if song.dat could
// not be read.
bool extractLegacyRecord(const RandomAccessFile& data, const LegacyRecordLocation& where,
                         ByteSink& out, std::vector<std::uint8_t>& buffer);

// "<song>.dat"
std::string legacyRecordFileName(std::int32_t songNumber);

}  // namespace kdb2mid
