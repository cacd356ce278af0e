// How one fuzz input spells a small song database, shared by the conversion
// target and the seed generator.
//
//   byte 0    bits 0..3: which of SONG.IDX, SONG.DAT, CRS&TCK.IDX, CHORUS.DAT
//             exist; bits 4..6: that many 2048-byte units of zeros appended
//             to CHORUS.DAT, so that a small input can address whole
//             recordings
//   byte 1    bits 0..3: the song to convert, 21088 + their value, from two
//             numbers below the first song to thirteen above it; bit 4: lyrics
//             as UTF-8; bit 5: also write the .kar
//   then      SONG.IDX, SONG.DAT and CRS&TCK.IDX, each as a two-byte
//             big-endian length and that many bytes (cut short where the
//             input ends)
//   the rest  CHORUS.DAT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid::fuzz {

struct DatabaseFrame {
    enum File : std::size_t { songIndex, songData, chorusIndex, chorusData, fileCount };
    std::array<bool, fileCount> present{true, true, true, true};
    std::uint8_t chorusPaddingUnits = 0;  // 0..7
    std::int32_t song = 21090;            // 21088..21103
    bool utf8Lyrics = false;
    bool karaoke = false;
    std::array<std::vector<std::uint8_t>, fileCount> files;
};

inline constexpr std::int32_t kFrameFirstSong = 21088;
inline constexpr std::int32_t kFrameSongCount = 16;
inline constexpr std::size_t kFramePartLimit = 0xFFFF;

// Never fails: any bytes spell some database.
DatabaseFrame decodeDatabaseFrame(std::span<const std::uint8_t> input);

// The input that decodes to frame; the first three files must fit in
// kFramePartLimit bytes and the song lie in the frame's range.
std::vector<std::uint8_t> encodeDatabaseFrame(const DatabaseFrame& frame);

}  // namespace kdb2mid::fuzz
