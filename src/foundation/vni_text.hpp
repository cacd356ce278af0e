// Text in the database's two-byte Vietnamese letter encoding shown as UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kdb2mid {

// Decodes stored text (a letter is one byte, or a base letter followed by a
// modifier byte) to UTF-8 with precomposed letters, upper and lower case.
// Bytes outside the letter table decode as their Windows-1252 character.
std::string decodeVniToUtf8(std::span<const std::uint8_t> text);

// Whether text holds any byte above 0x7F, i.e. needs decoding to be read.
bool hasEncodedLetters(std::span<const std::uint8_t> text) noexcept;

}  // namespace kdb2mid
