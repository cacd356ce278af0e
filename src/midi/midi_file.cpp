#include "midi/midi_file.hpp"

#include <string>

#include "midi/midi_chunk.hpp"
#include "midi/track_text.hpp"

namespace kdb2mid {

void writeSongFile(const DecodedSong& song, std::span<const std::uint8_t> textTrack,
                   ByteSink& out) {
    const std::size_t dataTracks = song.dataTrackCount();
    // readTrackOffsetTable refuses more tracks than the header can count.
    writeHeaderChunk(out, static_cast<std::uint16_t>(dataTracks + 1));
    for (std::size_t j = 0; j < dataTracks; ++j) writeTrackChunk(out, song.dataTrack(j));
    out.write(textTrack);
}

RecordError beginSongTracks(const DecodedSong& song, LyricText text,
                            std::vector<std::uint8_t>& tracks) {
    tracks.clear();
    if (text == LyricText::stored) return RecordError::none;
    std::string scratch;
    for (std::size_t j = 0; j < song.dataTrackCount(); ++j) {
        const RecordError error = appendUtf8TrackChunk(song.dataTrack(j), tracks, scratch);
        if (error != RecordError::none) return error;
    }
    return RecordError::none;
}

void writeSongFile(const DecodedSong& song, LyricText text, std::span<const std::uint8_t> tracks,
                   ByteSink& out) {
    if (text == LyricText::stored) {
        writeSongFile(song, tracks, out);
        return;
    }
    writeHeaderChunk(out, static_cast<std::uint16_t>(song.dataTrackCount() + 1));
    out.write(tracks);
}

RecordError writeMidiFile(const DecodedSong& song, LyricText text, ByteSink& out,
                          std::vector<std::uint8_t>& trackBuffer) {
    RecordError error = beginSongTracks(song, text, trackBuffer);
    if (error == RecordError::none) {
        error = writeLyricTrack(song.imageBytes(), song.lyrics, trackBuffer, text);
    }
    if (error != RecordError::none) return error;
    writeSongFile(song, text, trackBuffer, out);
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
