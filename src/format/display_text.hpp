// Stored text made fit to print on one line of a terminal or a pipe.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kdb2mid {

// Replaces every control character (C0, DEL, C1: they could move the cursor,
// change a terminal's state or break a line-per-entry listing) and every
// malformed sequence in UTF-8 text by '?'. Never reads outside text.
std::string printableUtf8(std::string_view text);

// Stored text (the database's letter encoding) decoded to UTF-8 and made
// printable.
std::string displayText(std::span<const std::uint8_t> stored);

}  // namespace kdb2mid
