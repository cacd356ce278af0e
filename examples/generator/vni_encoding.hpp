// Text in the database's two-byte Vietnamese letter encoding, made from UTF-8.
// Lets song data be written as readable Vietnamese and stored as the
// database stores it: a letter is one byte, or a base letter followed by a
// modifier byte.
#pragma once

#include <string>
#include <string_view>

namespace kdb2mid::sample {

// Encodes UTF-8 text with precomposed Vietnamese letters (both cases) and
// ASCII. Throws std::invalid_argument for malformed UTF-8 or for a character
// the encoding has no bytes for (decomposed marks included).
std::string encodeVni(std::string_view utf8);

}  // namespace kdb2mid::sample
