#include "format/decoded_song.hpp"

namespace kdb2mid {

RecordError decodeSongImage(std::span<const std::uint8_t> record, DecodedSong& song) {
    song.adjustedTracks.clear();
    RecordError error = readTrackOffsetTable(record, song.table);
    if (error != RecordError::none) return error;
    error = decompressSongImage(record, std::size_t{song.table.streamOffset} + 4, song.image);
    if (error != RecordError::none) return error;
    return checkTrackOffsets(song.table, song.image.length());
}

RecordError decodeSong(std::span<const std::uint8_t> record, DecodedSong& song) {
    const RecordError error = decodeSongImage(record, song);
    if (error != RecordError::none) return error;
    return parseLyricBlock(song.image.bytes(), song.table, song.lyrics);
}

}  // namespace kdb2mid
