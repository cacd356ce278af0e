// The chorus index as text to be read by eye: CRS&TCK.IDX -> index.txt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kdb2mid {

// The line end of text files on this platform: index.txt is a text file, and
// the database's own tools wrote it with the platform's line ends.
#ifdef _WIN32
inline constexpr std::string_view kTextLineEnd = "\r\n";
#else
inline constexpr std::string_view kTextLineEnd = "\n";
#endif

// Appends the big-endian 32-bit values of index to text, each in decimal with
// bit 31 cleared and followed by one space, lineEnd after every third (one
// ChorusIndexEntry a line, line k showing entry k). The 1 to 3 bytes after the
// last whole value are not shown. index must start at a value whose number is
// a multiple of 3 (the start of an entry); a long file can so be dumped in
// blocks of whole entries. Reads nothing outside index.
void dumpChorusIndex(std::span<const std::uint8_t> index, std::string_view lineEnd,
                     std::string& text);

}  // namespace kdb2mid
