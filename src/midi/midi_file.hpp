// A song record turned into a Standard MIDI File: format 1, division 120, the
// record's data tracks as stored, then the lyric track.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "midi/lyric_track.hpp"
#include "format/song_image.hpp"
#include "format/byte_sink.hpp"
#include "midi/midi_format.hpp"
#include "format/record_error.hpp"

namespace kdb2mid {


// Buffers one conversion needs; kept between songs so a batch allocates only
// when a record is larger than any before it.
struct MidiWorkspace {
    TrackOffsetTable table;
    SongImage image;
    LyricBlock lyrics;
    std::vector<std::uint8_t> lyricChunk;
};

// Decodes record into work (table, image, lyric block) and checks everything
// the file needs, writing nothing. On success the file can be written.
RecordError decodeSong(std::span<const std::uint8_t> record, MidiWorkspace& work);

// Decodes record and writes the whole MIDI file to out, its titles and lyrics
// as text says. Everything is checked before the first byte goes out: on an
// error nothing has been written. Track bodies go to out straight from the
// decoded image.
RecordError writeMidiFile(std::span<const std::uint8_t> record, ByteSink& out,
                          MidiWorkspace& work, LyricText text = LyricText::stored);

// The same into memory, for tests and tools.
RecordError writeMidiFile(std::span<const std::uint8_t> record, std::vector<std::uint8_t>& out,
                          LyricText text = LyricText::stored);

// The part every file made from a decoded song shares: the header chunk
// (format 1, division 120, the data tracks and one text track) and the data
// track chunks as stored. The caller appends the text track.
void writeHeaderAndDataTracks(const MidiWorkspace& work, ByteSink& out);

}  // namespace kdb2mid
