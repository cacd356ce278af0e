// The song database's file layout: the names its files are opened by, the
// units its indexes count in, and the fixed offsets of a song record's header.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "format/byte_order.hpp"

namespace kdb2mid {

inline constexpr const char* kSongIndexFile = "SONG.IDX";
inline constexpr const char* kSongDataFile = "SONG.DAT";
inline constexpr const char* kChorusIndexFile = "CRS&TCK.IDX";
inline constexpr const char* kChorusDataFile = "CHORUS.DAT";
// Song names: name.idx holds one big-endian byte offset into name.tab per
// song number (same numbering as SONG.IDX); a name runs from its song's
// offset to one byte before the next song's.
inline constexpr const char* kNameIndexFile = "name.idx";
inline constexpr const char* kNameTableFile = "name.tab";

// Every index of the database holds one 4-byte entry per song number; the
// first entry belongs to this number.
inline constexpr std::int32_t kFirstSongNumber = 21090;
inline constexpr std::uint32_t kIndexEntrySize = 4;

// SONG.IDX values count 16-byte units of SONG.DAT; CRS&TCK.IDX start and end
// values count 2048-byte units of CHORUS.DAT.
inline constexpr std::uint64_t kSongDataUnit = 16;
inline constexpr std::uint64_t kChorusDataUnit = 2048;

// The largest record a song is read with. A record is one song's MIDI tracks
// and lyrics, compressed: tens of kilobytes, a few hundred for the longest.
// An index entry pair can claim up to 64 GiB (2^32 16-byte units), and a
// converting thread holds the record, its image (up to 3 x the record) and
// the MIDI file made from it at once, so a claim is bounded here before
// anything is allocated or read: far above any song, and small enough that
// threads x (record + image + file) stays within an ordinary machine's memory.
// Only a damaged index claims more.
inline constexpr std::uint64_t kMaxRecordSize = std::uint64_t{64} << 20;

// Song record header (stored uncompressed).
inline constexpr std::size_t kRecordFlagsOffset = 0;
inline constexpr std::uint8_t kChorusFlag = 0x80;
inline constexpr std::size_t kRecordChorusCountOffset = 1;
inline constexpr std::size_t kRecordChorusIndexOffset = 4;
inline constexpr std::uint8_t kNoChorusByte = 0xFF;
// The track offset table starts here; its first entry is the stream offset V.
inline constexpr std::size_t kRecordTableOffset = 20;

// CRS&TCK.IDX: three big-endian 32-bit values per entry.
inline constexpr std::uint64_t kChorusEntrySize = 12;

// Byte offset of a song's entry in a per-song index, or nothing for a number
// below the first song.
constexpr std::optional<std::uint64_t> songIndexOffset(std::int32_t songNumber) noexcept {
    if (songNumber < kFirstSongNumber) return std::nullopt;
    return std::uint64_t{kIndexEntrySize} *
           static_cast<std::uint64_t>(songNumber - kFirstSongNumber);
}

// Where a song's record lies in its data file, or why it has none.
struct RecordLookup {
    enum class Outcome : std::uint8_t {
        found,
        empty,           // equal index entries: the song has no record
        belowFirstSong,  // number below the first song number
        pastIndexEnd,    // the index holds no entry pair for the number
        endBeforeStart,  // the entry after the song's is smaller than its own
        pastDataEnd,     // the record runs past the end of the data file
        tooLarge,        // a SONG.DAT record longer than kMaxRecordSize
    };
    Outcome outcome = Outcome::found;
    std::uint64_t start = 0;   // byte offset in the data file
    std::uint64_t length = 0;  // bytes
};

// The record an index entry pair spells (the song's entry and the next, each
// big-endian, counting `unit`-byte units), checked against the data file's size.
constexpr RecordLookup recordAt(std::span<const std::uint8_t, 8> entries, std::uint64_t unit,
                                std::uint64_t dataSize) noexcept {
    using Outcome = RecordLookup::Outcome;
    const std::uint64_t start = unit * readBigEndian32(entries, 0);
    const std::uint64_t end = unit * readBigEndian32(entries, 4);
    if (end < start) return {Outcome::endBeforeStart, start, 0};
    if (end > dataSize) return {Outcome::pastDataEnd, start, end - start};
    if (end == start) return {Outcome::empty, start, 0};
    return {Outcome::found, start, end - start};
}

struct ChorusIndexEntry {
    std::uint32_t partNumber;
    std::uint32_t start;  // in kChorusDataUnit units
    std::uint32_t end;    // exclusive, in kChorusDataUnit units
};

// Decodes one 12-byte entry; the caller supplies exactly kChorusEntrySize bytes.
constexpr ChorusIndexEntry parseChorusIndexEntry(std::span<const std::uint8_t> bytes) noexcept {
    return {readBigEndian32(bytes, 0), readBigEndian32(bytes, 4), readBigEndian32(bytes, 8)};
}

// What the header of a song record says about its chorus recordings.
struct ChorusRequest {
    std::uint8_t count;        // number of recordings
    std::uint16_t firstEntry;  // number of the first ChorusIndexEntry
};

// The chorus recordings a record announces: flag bit set and neither byte of
// the chorus index number 0xFF. The record must hold at least 6 bytes.
constexpr std::optional<ChorusRequest> chorusRequest(std::span<const std::uint8_t> record) noexcept {
    if ((record[kRecordFlagsOffset] & kChorusFlag) == 0) return std::nullopt;
    if (record[kRecordChorusIndexOffset] == kNoChorusByte) return std::nullopt;
    if (record[kRecordChorusIndexOffset + 1] == kNoChorusByte) return std::nullopt;
    return ChorusRequest{record[kRecordChorusCountOffset],
                         readBigEndian16(record, kRecordChorusIndexOffset)};
}

}  // namespace kdb2mid
