// A song record decoded once for everything made from it: the track offset
// table, the image (the MIDI track bodies back to back, then the lyric
// block) and the titles and lyric events parsed from that block. The .mid,
// the .kar and `info` all read the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format/lyric_block.hpp"
#include "format/record_error.hpp"
#include "format/song_image.hpp"

namespace kdb2mid {

// Kept between songs, so a batch allocates only when a record is larger than
// any before it.
struct DecodedSong {
    TrackOffsetTable table;
    SongImage image;
    LyricBlock lyrics;
    // The data tracks as they are to be written when a key or tempo change
    // rewrote them; empty when they are written as stored. One per data track.
    std::vector<std::vector<std::uint8_t>> adjustedTracks;

    std::span<const std::uint8_t> imageBytes() const noexcept { return image.bytes(); }
    // Entries 0..N-3 start the data tracks and N-2 ends the last one.
    std::size_t dataTrackCount() const noexcept { return table.entries.size() - 2; }
    std::span<const std::uint8_t> dataTrack(std::size_t j) const noexcept {
        if (!adjustedTracks.empty()) return adjustedTracks[j];
        return image.bytes().subspan(table.entries[j], table.entries[j + 1] - table.entries[j]);
    }
    std::span<const std::uint8_t> text(TextRef ref) const noexcept {
        return textBytes(image.bytes(), ref);
    }
};

// The part of decodeSong that titles alone need: the table and the image,
// the track offsets checked against it; song.lyrics is left as it was.
RecordError decodeSongImage(std::span<const std::uint8_t> record, DecodedSong& song);

// Decodes record into song and checks everything a file made from it needs:
// the table, the image, the track offsets against the image, the lyric
// block. On an error song holds nothing usable.
RecordError decodeSong(std::span<const std::uint8_t> record, DecodedSong& song);

}  // namespace kdb2mid
