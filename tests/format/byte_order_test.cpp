#include "format/byte_order.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;

TEST(ByteOrder, LoadsBigEndianInPlace) {
    const test::Bytes raw = bytes({0x00, 0x00, 0x01, 0x2C, 0x12, 0x34, 0x56, 0x78});
    std::uint32_t values[2];
    std::memcpy(values, raw.data(), sizeof values);
    loadBigEndian32(values);
    EXPECT_EQ(values[0], 300U);
    EXPECT_EQ(values[1], 0x12345678U);

    std::uint16_t shorts[2];
    std::memcpy(shorts, raw.data() + 4, sizeof shorts);
    loadBigEndian16(shorts);
    EXPECT_EQ(shorts[0], 0x1234U);
    EXPECT_EQ(shorts[1], 0x5678U);

    EXPECT_EQ(byteSwap32(0x2C010000U), 300U);
    EXPECT_EQ(readBigEndian32(raw, 4), 0x12345678U);
}

}  // namespace
}  // namespace kdb2mid
