// What `kdb2mid list` prints: one line per song that has a record.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kdb2mid {

// "<number>\t<name as UTF-8>" without a line end; no name gives "<number>\t".
std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName);

}  // namespace kdb2mid
