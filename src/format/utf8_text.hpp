// UTF-8 checked character by character: the text the database decodes to, a
// user's query and a cache file's strings all pass through here before they
// are compared, printed or handed to the JSON writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kdb2mid {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Length of the well-formed UTF-8 sequence at text[pos] and its code point in
// codePoint, or 0 when the bytes there are not one (overlong forms,
// surrogates and values past U+10FFFF are not). pos < text.size().
std::size_t utf8SequenceAt(std::string_view text, std::size_t pos, char32_t& codePoint) noexcept;

void appendUtf8(char32_t codePoint, std::string& out);

// C0 controls, DEL and C1 controls: characters that can move a terminal's
// cursor, start an escape sequence or break a line.
constexpr bool isControlCharacter(char32_t codePoint) noexcept {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

// Whether text is well-formed UTF-8 without control characters: safe to print
// on one line.
bool isPrintableUtf8(std::string_view text) noexcept;

// text with every malformed sequence and every C1 control replaced by U+FFFD,
// so that it is well-formed UTF-8 (C0 controls are kept: a JSON writer
// escapes them).
std::string wellFormedUtf8(std::string_view text);

// The longest prefix of well-formed UTF-8 text that holds at most maxBytes
// bytes and does not end inside a character.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) noexcept;

}  // namespace kdb2mid
