#include "format/byte_order.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;

TEST(WriteVarLen, EncodesGroupsMostSignificantFirst) {
    struct Case {
        std::int32_t value;
        test::Bytes expected;
    };
    const Case cases[] = {
        {0, bytes({0x00})},
        {127, bytes({0x7F})},
        {128, bytes({0x81, 0x00})},
        {200, bytes({0x81, 0x48})},
        {480, bytes({0x83, 0x60})},
        {16383, bytes({0xFF, 0x7F})},
        {16384, bytes({0x81, 0x80, 0x00})},
        {2097151, bytes({0xFF, 0xFF, 0x7F})},
        {2097152, bytes({0x81, 0x80, 0x80, 0x00})},
        {268435455, bytes({0xFF, 0xFF, 0xFF, 0x7F})},
        {268435456, bytes({0x81, 0x80, 0x80, 0x80, 0x00})},
        {0x7FFFFFFF, bytes({0x87, 0xFF, 0xFF, 0xFF, 0x7F})},
        // A negative value is one byte, its low seven bits.
        {-1, bytes({0x7F})},
        {-128, bytes({0x00})},
    };
    for (const Case& c : cases) {
        test::Bytes out{0xAA};
        const int written = writeVarLen(c.value, out);
        EXPECT_EQ(written, static_cast<int>(c.expected.size())) << c.value;
        EXPECT_EQ(test::Bytes(out.begin() + 1, out.end()), c.expected) << c.value;
    }
}

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
