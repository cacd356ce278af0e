#include "midi/midi_chunk.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;

TEST(WriteVarLen, EncodesGroupsMostSignificantFirst) {
    struct Case {
        std::uint32_t value;
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
        {0xFFFFFFFF, bytes({0x8F, 0xFF, 0xFF, 0xFF, 0x7F})},
    };
    for (const Case& c : cases) {
        test::Bytes out{0xAA};
        const std::size_t written = writeVarLen(c.value, out);
        EXPECT_EQ(written, c.expected.size()) << c.value;
        EXPECT_EQ(varLenSize(c.value), c.expected.size()) << c.value;
        EXPECT_EQ(test::Bytes(out.begin() + 1, out.end()), c.expected) << c.value;
    }
}

}  // namespace
}  // namespace kdb2mid
