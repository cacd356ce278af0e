// The picture a player shows after a run of CD+G packets: colour numbers for
// the 300 x 216 pixels and the colour table. The writer keeps one to know
// what is on screen, so it redraws only the tiles that change.
//
// Reads only the packet it is given; a tile outside the screen is ignored.
// Scrolling is not modelled (the writer never scrolls).
#pragma once

#include <array>
#include <cstdint>

#include "cdg/cdg_packet.hpp"

namespace kdb2mid::cdg {

class Screen {
public:
    void apply(const Packet& packet) noexcept;

    std::uint8_t at(int x, int y) const noexcept {
        return pixels_[static_cast<std::size_t>(y * kScreenWidth + x)];
    }
    const Rgb12& colour(std::uint8_t index) const noexcept { return colours_[index & 0x0F]; }

private:
    std::array<std::uint8_t, kScreenWidth * kScreenHeight> pixels_{};
    std::array<Rgb12, kColourCount> colours_{};
};

}  // namespace kdb2mid::cdg
