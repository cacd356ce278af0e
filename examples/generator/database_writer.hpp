// Building song databases from parts: lyric blocks, records and the index and
// data files. Used by the sample database generator, the tests, benchmarks and
// fuzz seeds; the converter itself only reads databases.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "format/database_layout.hpp"

namespace kdb2mid::sample {

using Bytes = std::vector<std::uint8_t>;

struct LyricLine {
    std::string text;                  // stored bytes (two-byte letter encoding), no NUL
    bool mark = false;                 // starts with the '0' line mark
    std::vector<std::uint16_t> words;  // one time word per lyric event
};

// Number of lyric events (and so time words) the converter forms from text.
std::size_t lyricEventCount(const std::string& text);

// Lead byte, titles separated by sep bytes, the 0x20 that ends them (which is
// also the first text byte of the first line), then the lines, then `tail`
// bytes of trailing padding. The first line's text must begin with ' '.
Bytes buildLyricBlock(const std::vector<std::string>& titles, const std::vector<LyricLine>& lines,
                      std::size_t tail = 8);

struct SongSpec {
    std::vector<Bytes> tracks;  // MIDI track bodies
    Bytes lyricBlock;           // from its lead byte on
    std::uint8_t flags = 0;
    std::uint8_t chorusCount = 0;
    std::uint16_t chorusIndex = 0xFFFF;
};

// The decoded image: the track bodies back to back, then the lyric block.
// offsets receives the N table entries as image offsets.
Bytes buildImage(const SongSpec& song, std::vector<std::uint32_t>& offsets);

// A complete record: 20-byte header, track offset table, compressed image,
// zero padding to a multiple of 16 bytes. A record too short for the
// converter's image buffer (3 x its length) gets more zero padding.
Bytes buildRecord(const SongSpec& song);

struct Database {
    std::vector<Bytes> records;  // song 21090 + i; an empty record leaves the song without one
    std::vector<ChorusIndexEntry> chorusIndex;
    Bytes chorusData;
};

// Appends a recording to the chorus data, zero-padded to whole 2048-byte
// units, and an index entry (partNumber, start, end) for it. Returns the
// entry's number, the chorus index number a record names it by (a number
// with a byte 0xFF in it names no recording).
std::uint16_t addChorusRecording(Database& database, std::uint32_t partNumber,
                                 const Bytes& recording);

// frameCount frames of silence as MPEG-1 Layer III, 128 kbit/s, 44.1 kHz,
// mono: each frame its 4-byte header and zero bytes (side information that
// codes no audio) up to the frame length of 417 bytes.
Bytes silentMp3Frames(std::size_t frameCount);

// Writes SONG.IDX, SONG.DAT, CRS&TCK.IDX and CHORUS.DAT into folder.
void writeDatabase(const Database& database, const std::filesystem::path& folder);

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFile(const std::filesystem::path& path);

}  // namespace kdb2mid::sample
