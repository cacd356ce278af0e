// A song record turned into a Standard MIDI File: format 1, division 120, the
// record's data tracks as stored, then the lyric track.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/lyric_track.hpp"
#include "convert/song_image.hpp"
#include "foundation/file_io.hpp"
#include "foundation/status.hpp"

namespace kdb2mid {

inline constexpr std::uint16_t kMidiFormat = 1;
inline constexpr std::uint16_t kMidiDivision = 120;

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

// Decodes record and writes the whole MIDI file to out. Everything is checked
// before the first byte goes out: on an error nothing has been written. Track
// bodies go to out straight from the decoded image.
RecordError writeMidiFile(std::span<const std::uint8_t> record, ByteSink& out,
                          MidiWorkspace& work);

// The same into memory, for tests and tools.
RecordError writeMidiFile(std::span<const std::uint8_t> record, std::vector<std::uint8_t>& out);

}  // namespace kdb2mid
