#include "cdg/cdg_screen.hpp"

namespace kdb2mid::cdg {

namespace {

constexpr std::size_t kData = 4;

void fill(std::uint8_t* pixels, int x0, int y0, int width, int height, std::uint8_t colour) {
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) pixels[y * kScreenWidth + x] = colour;
    }
}

}  // namespace

void Screen::apply(const Packet& packet) noexcept {
    if ((packet[0] & kLowSixBits) != kGraphicsCommand) return;
    const std::uint8_t* data = packet.data() + kData;
    switch (static_cast<Instruction>(packet[1] & kLowSixBits)) {
        case Instruction::memoryPreset:
            if ((data[1] & 0x0F) == 0) pixels_.fill(data[0] & 0x0F);
            break;
        case Instruction::borderPreset: {
            const std::uint8_t colour = data[0] & 0x0F;
            fill(pixels_.data(), 0, 0, kScreenWidth, kTileHeight, colour);
            fill(pixels_.data(), 0, kScreenHeight - kTileHeight, kScreenWidth, kTileHeight, colour);
            fill(pixels_.data(), 0, 0, kTileWidth, kScreenHeight, colour);
            fill(pixels_.data(), kScreenWidth - kTileWidth, 0, kTileWidth, kScreenHeight, colour);
            break;
        }
        case Instruction::tileBlock:
        case Instruction::tileBlockXor: {
            const bool xorMode = (packet[1] & kLowSixBits) ==
                                 static_cast<std::uint8_t>(Instruction::tileBlockXor);
            const int top = (data[2] & 0x1F) * kTileHeight;
            const int left = (data[3] & kLowSixBits) * kTileWidth;
            if (top > kScreenHeight - kTileHeight || left > kScreenWidth - kTileWidth) break;
            for (int y = 0; y < kTileHeight; ++y) {
                for (int x = 0; x < kTileWidth; ++x) {
                    const bool set = ((data[4 + y] >> (5 - x)) & 1) != 0;
                    const std::uint8_t colour = (set ? data[1] : data[0]) & 0x0F;
                    std::uint8_t& pixel = pixels_[static_cast<std::size_t>((top + y) * kScreenWidth + left + x)];
                    pixel = xorMode ? static_cast<std::uint8_t>(pixel ^ colour) : colour;
                }
            }
            break;
        }
        case Instruction::loadColoursLow:
        case Instruction::loadColoursHigh: {
            const std::size_t first = (packet[1] & kLowSixBits) ==
                                              static_cast<std::uint8_t>(Instruction::loadColoursLow)
                                          ? 0
                                          : 8;
            for (std::size_t i = 0; i < 8; ++i) {
                const unsigned high = data[2 * i] & kLowSixBits;
                const unsigned low = data[2 * i + 1] & kLowSixBits;
                colours_[first + i] = {static_cast<std::uint8_t>(high >> 2),
                                       static_cast<std::uint8_t>(((high & 3U) << 2) | (low >> 4)),
                                       static_cast<std::uint8_t>(low & 0x0F)};
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace kdb2mid::cdg
