#include "export/chorus_index_dump.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;

TEST(DumpChorusIndex, ShowsThreeValuesALineWithTrailingSpaces) {
    struct Case {
        test::Bytes index;
        std::string expected;
    };
    const test::Bytes entry = bytes({0, 0, 0, 5, 0, 0, 1, 0, 0, 0, 1, 8});
    const Case cases[] = {
        {{}, ""},
        {entry, "5 256 264 \n"},
        // Bit 31 is cleared: no value shows as negative.
        {bytes({0x80, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF}), "7 2147483647 "},
        // A fourth value starts a line that has no end yet.
        {test::concat({entry, bytes({0, 0, 0, 9})}), "5 256 264 \n9 "},
        // The bytes after the last whole value are not shown.
        {test::concat({entry, bytes({0, 0, 0})}), "5 256 264 \n"},
        {bytes({0, 0, 0, 1, 0, 0}), "1 "},
        {test::concat({entry, entry}), "5 256 264 \n5 256 264 \n"},
    };
    for (const Case& c : cases) {
        std::string text = "kept";
        dumpChorusIndex(c.index, "\n", text);
        EXPECT_EQ(text, "kept" + c.expected) << c.expected;
    }
}

TEST(DumpChorusIndex, EndsLinesWithTheGivenLineEnd) {
    std::string text;
    dumpChorusIndex(bytes({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3}), "\r\n", text);
    EXPECT_EQ(text, "1 2 3 \r\n");
}

}  // namespace
}  // namespace kdb2mid
