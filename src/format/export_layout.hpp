// The files of the auxiliary exports: the song-name list, the chorus index
// text and the older song database, by the names they are opened under and the
// song numbers they cover.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/database_layout.hpp"

namespace kdb2mid {

// name.idx (kNameIndexFile) holds one big-endian byte offset into name.tab
// per song number, addressed like SONG.IDX (kFirstSongNumber,
// kIndexEntrySize). A name ends one byte before the next song's name starts.
inline constexpr const char* kSongNamesFile = "Output.txt";

// The song-name list covers these songs, no more: the range the database's
// own tools exported. The last name ends where the entry of the song after it
// points, so one more entry is read than there are names.
inline constexpr std::int32_t kFirstListedSong = 50001;
inline constexpr std::int32_t kLastListedSong = 51894;
inline constexpr std::uint32_t kListedSongCount = kLastListedSong - kFirstListedSong + 1;
inline constexpr std::uint64_t kNameIndexStart =
    std::uint64_t{kIndexEntrySize} * (kFirstListedSong - kFirstSongNumber);  // 115644
inline constexpr std::uint64_t kNameIndexBytesRead =
    std::uint64_t{kIndexEntrySize} * (kListedSongCount + 1);  // up to byte 123223

// A name is a song's title, a few dozen letters; the database's own tools
// read each into a 256-byte buffer. A name this long can only come from
// damaged entries, and without a bound entries that jump back and forth
// would make each of the list's lines a copy of most of name.tab.
inline constexpr std::uint64_t kMaxNameBytes = 1024;

inline constexpr const char* kChorusIndexTextFile = "index.txt";

// A chorus recording's file: "<stem>_<part>.mp3", the stem being the song's
// number unless --name gives another. The part number is shown signed, as
// the database's own tools named these files.
inline std::string chorusFileName(std::string_view stem, std::uint32_t partNumber) {
    return std::string(stem) + "_" + std::to_string(static_cast<std::int32_t>(partNumber)) +
           ".mp3";
}

// The older database: root/9703/song.idx holds one big-endian byte offset into
// song.dat per song number (no unit, unlike SONG.IDX); a record runs to the
// next song's offset. Extracted records land in root as "<song>.dat".
inline constexpr const char* kLegacyFolder = "9703";
inline constexpr const char* kLegacyIndexFile = "song.idx";
inline constexpr const char* kLegacyDataFile = "song.dat";

}  // namespace kdb2mid
