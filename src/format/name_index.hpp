// The song names of the database: name.idx holds one big-endian byte offset
// into name.tab per song number (numbered as in SONG.IDX); a name runs from
// its song's offset to one byte before the next song's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kdb2mid {

struct NameLocation {
    std::uint64_t offset;  // in name.tab
    std::uint64_t length;  // bytes
};

// Where the song's name lies in a name.tab of tableSize bytes, by the two
// name.idx entries of the song and the next. Nothing when the index holds no
// such entries, when they are equal (no name) or decrease, or when the name
// runs past the end of name.tab. Reads only inside nameIndex.
std::optional<NameLocation> locateName(std::span<const std::uint8_t> nameIndex,
                                       std::int32_t songNumber, std::uint64_t tableSize) noexcept;

// The same from the song's entry and the next (8 bytes, as stored).
std::optional<NameLocation> nameAt(std::span<const std::uint8_t, 8> entries,
                                   std::uint64_t tableSize) noexcept;

}  // namespace kdb2mid
