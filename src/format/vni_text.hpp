// Text in the database's two-byte Vietnamese letter encoding shown as UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kdb2mid {

// Decodes stored text (a letter is one byte, or a base letter followed by a
// modifier byte) to UTF-8 with precomposed letters, upper and lower case.
// Bytes outside the letter table decode as their Windows-1252 character
// (0x80-0x9F its symbols, 0xA0-0xFF the Latin-1 characters); a modifier byte
// without a base before it is such a byte. The result is NFC: every letter
// is one precomposed character.
std::string decodeVniToUtf8(std::span<const std::uint8_t> text);

// The same, appended to out, for callers that reuse one buffer.
void appendVniAsUtf8(std::span<const std::uint8_t> text, std::string& out);

// Whether text holds any byte above 0x7F, i.e. needs decoding to be read.
bool hasEncodedLetters(std::span<const std::uint8_t> text) noexcept;

}  // namespace kdb2mid
