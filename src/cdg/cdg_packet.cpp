#include "cdg/cdg_packet.hpp"

#include <algorithm>

namespace kdb2mid::cdg {

namespace {

constexpr std::size_t kInstructionByte = 1;
constexpr std::size_t kDataStart = 4;
constexpr std::uint8_t kColourBits = 0x0F;

Packet graphics(Instruction instruction) noexcept {
    Packet packet{};
    packet[0] = kGraphicsCommand;
    packet[kInstructionByte] = static_cast<std::uint8_t>(instruction);
    return packet;
}

std::uint8_t lowBits(int value, int mask) noexcept {
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) & static_cast<unsigned>(mask));
}

}  // namespace

Packet emptyPacket() noexcept { return Packet{}; }

Packet memoryPreset(std::uint8_t colour, std::uint8_t repeat) noexcept {
    Packet packet = graphics(Instruction::memoryPreset);
    packet[kDataStart] = colour & kColourBits;
    packet[kDataStart + 1] = repeat & kColourBits;
    return packet;
}

Packet borderPreset(std::uint8_t colour) noexcept {
    Packet packet = graphics(Instruction::borderPreset);
    packet[kDataStart] = colour & kColourBits;
    return packet;
}

Packet tileBlock(TileMode mode, std::uint8_t colour0, std::uint8_t colour1, int row, int column,
                 const TilePixels& bits) noexcept {
    Packet packet = graphics(mode == TileMode::xorColours ? Instruction::tileBlockXor
                                                          : Instruction::tileBlock);
    packet[kDataStart] = colour0 & kColourBits;
    packet[kDataStart + 1] = colour1 & kColourBits;
    packet[kDataStart + 2] = lowBits(std::clamp(row, 0, kTileRows - 1), 0x1F);
    packet[kDataStart + 3] = lowBits(std::clamp(column, 0, kTileColumns - 1), kLowSixBits);
    for (std::size_t y = 0; y < bits.size(); ++y) {
        packet[kDataStart + 4 + y] = bits[y] & kLowSixBits;
    }
    return packet;
}

Packet loadColourTable(ColourHalf half, std::span<const Rgb12, 8> colours) noexcept {
    Packet packet = graphics(half == ColourHalf::low ? Instruction::loadColoursLow
                                                     : Instruction::loadColoursHigh);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const unsigned red = colours[i].red & kColourBits;
        const unsigned green = colours[i].green & kColourBits;
        const unsigned blue = colours[i].blue & kColourBits;
        packet[kDataStart + 2 * i] = static_cast<std::uint8_t>((red << 2) | (green >> 2));
        packet[kDataStart + 2 * i + 1] = static_cast<std::uint8_t>(((green & 3U) << 4) | blue);
    }
    return packet;
}

Packet transparentColour(std::uint8_t colour) noexcept {
    Packet packet = graphics(Instruction::transparentColour);
    packet[kDataStart] = colour & kColourBits;
    return packet;
}

Packet scroll(ScrollMode mode, std::uint8_t colour, ScrollStep across, int acrossOffset,
              ScrollStep down, int downOffset) noexcept {
    Packet packet = graphics(mode == ScrollMode::copy ? Instruction::scrollCopy
                                                      : Instruction::scrollPreset);
    packet[kDataStart] = colour & kColourBits;
    packet[kDataStart + 1] = static_cast<std::uint8_t>(
        (static_cast<unsigned>(across) << 4) | lowBits(std::clamp(acrossOffset, 0, kTileWidth - 1), 0x07));
    packet[kDataStart + 2] = static_cast<std::uint8_t>(
        (static_cast<unsigned>(down) << 4) | lowBits(std::clamp(downOffset, 0, kTileHeight - 1), 0x0F));
    return packet;
}

}  // namespace kdb2mid::cdg
