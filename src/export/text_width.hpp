// How wide a line of lyrics is drawn, estimated without a font file: the
// karaoke screen's layout (which size, where a line wraps) is decided where
// the document is written, and the players that draw it have the font.
//
// Widths are the advances of DejaVu Sans Bold, the face the documents name,
// in its units (2,048 to the em). A letter outside ASCII counts as a wide
// letter of its case (the Vietnamese letters are their base letter with
// marks, which take no width of their own); a combining mark counts nothing.
// Bytes that are not UTF-8 count as one wide letter each.
#pragma once

#include <cstdint>
#include <string_view>

namespace kdb2mid {

inline constexpr int kFontUnitsPerEm = 2048;
// The face's ascender plus descender, in the same units: renderers that
// follow the SubStation convention make a font size this tall.
inline constexpr int kFontLineUnits = 2384;
// A capital's height in the same units.
inline constexpr int kFontCapUnits = 1493;

// The advance of text, in font units.
std::int64_t textAdvance(std::string_view utf8) noexcept;

}  // namespace kdb2mid
