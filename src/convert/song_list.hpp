// What `kdb2mid list` prints: one line per song that has a record, with its
// name from name.idx and name.tab.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

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

// "<number>\t<name as UTF-8>" without a line end; no name gives "<number>\t".
std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName);

}  // namespace kdb2mid
