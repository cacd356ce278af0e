#include "inspect/song_list.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

TEST(SongList, LineIsNumberTabName) {
    const std::uint8_t name[] = {'A', 'B', 0x0A, 'C'};
    EXPECT_EQ(formatListLine(50001, name), "50001\tAB?C");
    EXPECT_EQ(formatListLine(50002, {}), "50002\t");
}

}  // namespace
}  // namespace kdb2mid
