// A song record's track offset table and its compressed image.
//
// From record byte 20 on: the stream offset V (also entry 0 of the table),
// N = (V - 16) / 4 table entries, and from byte V + 4 to the record's end an
// LZ-style stream of groups: a flag byte, then one item per flag bit from bit
// 7 down, a set bit a literal byte, a clear bit a two-byte back-reference
// copying 3..18 bytes from a 4096-byte window of what was already decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "format/record_error.hpp"

namespace kdb2mid {

// Entries 0..N-3 start the data tracks, entry N-2 ends the last one (the lead
// byte of the lyric block sits there), entry N-1 is carried but unused.
struct TrackOffsetTable {
    std::uint32_t streamOffset = 0;        // V, as stored
    std::vector<std::uint32_t> entries;    // image offsets (stored value - V)
};

// The decoded record: the MIDI track bodies back to back, then the lyric
// block. The buffer is sized once to 3 x the record length and reused.
class SongImage {
public:
    std::span<const std::uint8_t> bytes() const noexcept { return {buffer_.get(), length_}; }
    std::size_t length() const noexcept { return length_; }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    friend RecordError decompressSongImage(std::span<const std::uint8_t>, std::size_t,
                                           SongImage&);
    friend RecordError decompressSongImageReference(std::span<const std::uint8_t>, std::size_t,
                                                    SongImage&);
    std::uint8_t* prepare(std::size_t capacity);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t allocated_ = 0;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
};

inline constexpr std::size_t kWindowSize = 4096;
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
// The image never grows past this many times the record length.
inline constexpr std::size_t kImageCapacityFactor = 3;
// Stream offsets below this leave fewer than the two table entries every song
// needs (one data-track bound and the lyric block's start).
inline constexpr std::uint32_t kMinStreamOffset = 24;
inline constexpr std::size_t kMaxTracks = 65535;

// Loads the track offset table. Refuses a record shorter than its first
// table entry, a V below 24, a table that does not fit inside the record, or
// more tracks than a MIDI header can count. Reads only inside record.
RecordError readTrackOffsetTable(std::span<const std::uint8_t> record, TrackOffsetTable& table);

// Decodes the stream that starts at streamStart (V + 4) into image. Refuses a
// stream that would decode to more than 3 x record.size() bytes or that refers
// before the image's first byte. Never reads outside record nor writes outside
// the image buffer.
RecordError decompressSongImage(std::span<const std::uint8_t> record, std::size_t streamStart,
                                SongImage& image);

// The plain one-byte-at-a-time decoder the fast one is checked against.
RecordError decompressSongImageReference(std::span<const std::uint8_t> record,
                                         std::size_t streamStart, SongImage& image);

// Checks what the MIDI writer needs of the table: entries 0..N-2 never
// decrease and none lies beyond the image.
RecordError checkTrackOffsets(const TrackOffsetTable& table, std::size_t imageLength);

}  // namespace kdb2mid
