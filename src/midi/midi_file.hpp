// A decoded song as a Standard MIDI File: format 1, division 120, the
// record's data tracks, then the lyric track. The data tracks are as stored,
// except that with LyricText::utf8 their texts are decoded too.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/byte_sink.hpp"
#include "format/decoded_song.hpp"
#include "format/record_error.hpp"
#include "midi/lyric_track.hpp"

namespace kdb2mid {

// Writes the song's .mid to out, its titles and lyrics as text says. The
// lyric track (and with LyricText::utf8 the decoded data tracks before it) is
// built in trackBuffer (kept between songs) before the first byte goes out:
// on an error nothing has been written. Stored track bodies go to out
// straight from the decoded image.
RecordError writeMidiFile(const DecodedSong& song, LyricText text, ByteSink& out,
                          std::vector<std::uint8_t>& trackBuffer);

// What every file made from a decoded song shares: the header chunk (the
// data tracks and one text track), the data track chunks as stored, then the
// text track chunk the caller built.
void writeSongFile(const DecodedSong& song, std::span<const std::uint8_t> textTrack,
                   ByteSink& out);

// The start of every file's track buffer: empty for LyricText::stored (the
// data tracks go out as stored), the data track chunks with their texts
// decoded for LyricText::utf8 (track_text.hpp). The caller appends its text
// track and hands the buffer to writeSongFile with the same text.
RecordError beginSongTracks(const DecodedSong& song, LyricText text,
                            std::vector<std::uint8_t>& tracks);

// writeSongFile for a buffer beginSongTracks started: the header chunk, the
// data tracks as stored unless the buffer holds them, then the buffer.
void writeSongFile(const DecodedSong& song, LyricText text, std::span<const std::uint8_t> tracks,
                   ByteSink& out);

// A writer of one kind of file made from a decoded song (writeMidiFile,
// writeKaraokeFile).
using SongFileWriter = RecordError (*)(const DecodedSong&, LyricText, ByteSink&,
                                       std::vector<std::uint8_t>&);

// Decodes record and appends the file write makes to out: for tests and
// tools that start from a record. On an error nothing has been appended.
RecordError recordToFile(SongFileWriter write, std::span<const std::uint8_t> record,
                         std::vector<std::uint8_t>& out, LyricText text);

inline RecordError recordToMidi(std::span<const std::uint8_t> record,
                                std::vector<std::uint8_t>& out,
                                LyricText text = LyricText::stored) {
    return recordToFile(writeMidiFile, record, out, text);
}

}  // namespace kdb2mid
