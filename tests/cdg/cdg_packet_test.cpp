#include "cdg/cdg_packet.hpp"

#include <gtest/gtest.h>

#include "cdg/cdg_screen.hpp"

namespace kdb2mid::cdg {
namespace {

// The 16 data bytes (bytes 4-19) after command 0x09 and the instruction.
struct Case {
    const char* name;
    Packet packet;
    std::uint8_t instruction;
    std::array<std::uint8_t, 16> data;
};

TEST(CdgPacket, EachInstructionsBytes) {
    const TilePixels diagonal = {0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x3F, 0, 0, 0, 0, 0x3F};
    const std::array<Rgb12, 8> colours = {{{15, 0, 0}, {0, 15, 0}, {0, 0, 15}, {15, 15, 15},
                                           {1, 2, 3}, {8, 4, 2}, {0, 5, 10}, {0, 0, 0}}};
    const Case cases[] = {
        {"memory preset", memoryPreset(0x1A, 0x13), 1, {0x0A, 0x03}},
        {"border preset", borderPreset(7), 2, {7}},
        {"tile block", tileBlock(TileMode::replace, 1, 2, 17, 49, diagonal), 6,
         {1, 2, 17, 49, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x3F, 0, 0, 0, 0, 0x3F}},
        {"tile block xor", tileBlock(TileMode::xorColours, 0, 4, 3, 1, diagonal), 38,
         {0, 4, 3, 1, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x3F, 0, 0, 0, 0, 0x3F}},
        {"tile place clamped to the screen", tileBlock(TileMode::replace, 0, 1, 40, 70, {}), 6,
         {0, 1, 17, 49}},
        // Red in bits 5-2 of the first byte, green split 2 + 2, blue in bits 3-0.
        {"colours low", loadColourTable(ColourHalf::low, colours), 30,
         {0x3C, 0x00, 0x03, 0x30, 0x00, 0x0F, 0x3F, 0x3F, 0x04, 0x23, 0x21, 0x02, 0x01, 0x1A, 0, 0}},
        {"colours high", loadColourTable(ColourHalf::high, colours), 31,
         {0x3C, 0x00, 0x03, 0x30, 0x00, 0x0F, 0x3F, 0x3F, 0x04, 0x23, 0x21, 0x02, 0x01, 0x1A, 0, 0}},
        {"transparent colour", transparentColour(5), 28, {5}},
        {"scroll preset", scroll(ScrollMode::preset, 3, ScrollStep::back, 2, ScrollStep::forward, 11),
         20, {3, 0x22, 0x1B}},
        {"scroll copy", scroll(ScrollMode::copy, 0, ScrollStep::none, 9, ScrollStep::back, 0), 24,
         {0, 0x05, 0x20}},
    };
    for (const Case& c : cases) {
        Packet expected{};
        expected[0] = 0x09;
        expected[1] = c.instruction;
        std::copy(c.data.begin(), c.data.end(), expected.begin() + 4);
        EXPECT_EQ(c.packet, expected) << c.name;
    }
    EXPECT_EQ(emptyPacket(), Packet{});
}

// What a player makes of the packets: colour numbers per pixel, bit 0x20 the
// leftmost pixel, XOR on the colour numbers, and the table's 12-bit colours.
TEST(CdgPacket, PlayerReadsTilesAndColours) {
    Screen screen;
    std::array<Rgb12, 8> colours{};
    colours[3] = {1, 14, 7};
    screen.apply(loadColourTable(ColourHalf::high, colours));
    screen.apply(memoryPreset(2, 0));
    screen.apply(memoryPreset(9, 1));  // a repeat the player has already done
    screen.apply(tileBlock(TileMode::replace, 0, 11, 1, 1, {0x21}));
    EXPECT_EQ(screen.colour(11).green, 14);
    EXPECT_EQ(screen.colour(11).blue, 7);
    EXPECT_EQ(screen.at(6, 12), 11);   // leftmost pixel of row 0 of the tile
    EXPECT_EQ(screen.at(11, 12), 11);  // rightmost
    EXPECT_EQ(screen.at(7, 12), 0);
    EXPECT_EQ(screen.at(6, 13), 0);
    EXPECT_EQ(screen.at(0, 0), 2);
    screen.apply(tileBlock(TileMode::xorColours, 1, 4, 1, 1, {0x20}));
    EXPECT_EQ(screen.at(6, 12), 11 ^ 4);
    EXPECT_EQ(screen.at(7, 12), 0 ^ 1);
    screen.apply(borderPreset(5));
    EXPECT_EQ(screen.at(0, 100), 5);
    EXPECT_EQ(screen.at(299, 215), 5);
    EXPECT_EQ(screen.at(6, 12), 11 ^ 4);
}

}  // namespace
}  // namespace kdb2mid::cdg
