#include "midi/midi_file.hpp"

#include "midi/midi_chunk.hpp"

namespace kdb2mid {

void writeSongFile(const DecodedSong& song, std::span<const std::uint8_t> textTrack,
                   ByteSink& out) {
    const std::size_t dataTracks = song.dataTrackCount();
    // readTrackOffsetTable refuses more tracks than the header can count.
    writeHeaderChunk(out, static_cast<std::uint16_t>(dataTracks + 1));
    for (std::size_t j = 0; j < dataTracks; ++j) writeTrackChunk(out, song.dataTrack(j));
    out.write(textTrack);
}

RecordError writeMidiFile(const DecodedSong& song, LyricText text, ByteSink& out,
                          std::vector<std::uint8_t>& trackBuffer) {
    trackBuffer.clear();
    const RecordError error = writeLyricTrack(song.imageBytes(), song.lyrics, trackBuffer, text);
    if (error != RecordError::none) return error;
    writeSongFile(song, trackBuffer, out);
    return RecordError::none;
}

RecordError recordToFile(SongFileWriter write, std::span<const std::uint8_t> record,
                         std::vector<std::uint8_t>& out, LyricText text) {
    DecodedSong song;
    const RecordError error = decodeSong(record, song);
    if (error != RecordError::none) return error;
    std::vector<std::uint8_t> track;
    VectorSink sink(out);
    return write(song, text, sink, track);
}

}  // namespace kdb2mid
