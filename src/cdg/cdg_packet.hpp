// CD+G packets: the 24-byte units of a .cdg file, 300 of them a second (four
// per CD sector, 75 sectors a second).
//
//   byte 0      command: 0x09 draws graphics, 0x00 does nothing
//   byte 1      instruction
//   bytes 2-3   parity Q (unused by files; zero)
//   bytes 4-19  16 data bytes
//   bytes 20-23 parity P (unused by files; zero)
//
// Only the low 6 bits of each byte count, so every byte built here stays
// below 0x40. The screen is 300 x 216 pixels in tiles of 6 x 12 (50 columns,
// 18 rows); the outer tiles are the border, leaving 288 x 192 to draw on.
// Each pixel holds one of 16 colours of a table of 12-bit RGB entries.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kdb2mid::cdg {

inline constexpr std::size_t kPacketSize = 24;
inline constexpr int kPacketsPerSecond = 300;
inline constexpr std::size_t kBytesPerSecond = kPacketSize * kPacketsPerSecond;  // 7,200

inline constexpr int kScreenWidth = 300;
inline constexpr int kScreenHeight = 216;
inline constexpr int kTileWidth = 6;
inline constexpr int kTileHeight = 12;
inline constexpr int kTileColumns = kScreenWidth / kTileWidth;   // 50
inline constexpr int kTileRows = kScreenHeight / kTileHeight;    // 18
inline constexpr int kColourCount = 16;

inline constexpr std::uint8_t kGraphicsCommand = 0x09;
inline constexpr std::uint8_t kLowSixBits = 0x3F;

enum class Instruction : std::uint8_t {
    memoryPreset = 1,        // fill the whole screen with a colour
    borderPreset = 2,        // fill the border with a colour
    tileBlock = 6,           // draw one tile in two colours
    scrollPreset = 20,       // scroll, filling with a colour
    scrollCopy = 24,         // scroll, wrapping around
    transparentColour = 28,  // which colour shows what lies behind
    loadColoursLow = 30,     // colour table entries 0-7
    loadColoursHigh = 31,    // colour table entries 8-15
    tileBlockXor = 38,       // XOR one tile's colour numbers with two colours
};

using Packet = std::array<std::uint8_t, kPacketSize>;

// A colour table entry: 4 bits each of red, green and blue (0-15).
struct Rgb12 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// A tile's pixels: twelve rows of six bits, 0x20 the leftmost pixel. A set
// bit takes the second colour of a tile instruction, a clear bit the first.
using TilePixels = std::array<std::uint8_t, kTileHeight>;

// The packet that draws nothing (command 0): what fills the time between
// drawing.
Packet emptyPacket() noexcept;

// Fills the screen with colour. A player may skip a repeat it has already
// done; files send the instruction with repeat 0 through 15.
Packet memoryPreset(std::uint8_t colour, std::uint8_t repeat) noexcept;
Packet borderPreset(std::uint8_t colour) noexcept;

// Draws the tile at row 0-17, column 0-49: pixels set in bits take colour1,
// the others colour0. With Xor, each pixel's colour number is XORed with
// that colour instead of replaced by it.
enum class TileMode : std::uint8_t { replace, xorColours };
Packet tileBlock(TileMode mode, std::uint8_t colour0, std::uint8_t colour1, int row, int column,
                 const TilePixels& bits) noexcept;

// Eight colour table entries, 0-7 (low) or 8-15 (high), each packed in two
// data bytes: red and the top two bits of green, then the low two bits of
// green and blue.
enum class ColourHalf : std::uint8_t { low, high };
Packet loadColourTable(ColourHalf half, std::span<const Rgb12, 8> colours) noexcept;

Packet transparentColour(std::uint8_t colour) noexcept;

// Moves the screen by whole tiles (direction) and by a pixel offset within
// a tile (0-5 across, 0-11 down); Copy wraps what leaves the screen around,
// Preset fills the uncovered tiles with colour.
enum class ScrollMode : std::uint8_t { preset, copy };
enum class ScrollStep : std::uint8_t { none = 0, forward = 1, back = 2 };  // right/down, left/up
Packet scroll(ScrollMode mode, std::uint8_t colour, ScrollStep across, int acrossOffset,
              ScrollStep down, int downOffset) noexcept;

}  // namespace kdb2mid::cdg
