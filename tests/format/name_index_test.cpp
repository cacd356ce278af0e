#include "format/name_index.hpp"

#include <gtest/gtest.h>

#include "format/byte_order.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

TEST(NameIndex, LocatesNamesByTheirIndexEntries) {
    // Songs 21090.. start at name.tab offsets 0, 6, 6, 7, 5 (goes back), 40.
    test::Bytes index;
    for (std::uint32_t entry : {0U, 6U, 6U, 7U, 5U, 40U}) appendBigEndian32(index, entry);
    struct Case {
        std::int32_t song;
        std::uint64_t tableSize;
        std::optional<NameLocation> expected;
    };
    const Case cases[] = {
        {21090, 50, NameLocation{0, 5}},
        {21091, 50, std::nullopt},          // equal entries: no name
        {21092, 50, NameLocation{6, 0}},    // one apart: an empty name
        {21093, 50, std::nullopt},          // the next entry goes back
        {21094, 50, NameLocation{5, 34}},
        {21094, 39, NameLocation{5, 34}},   // ends right at the table's end
        {21094, 38, std::nullopt},          // runs past it
        {21095, 50, std::nullopt},          // no entry after it
        {21089, 50, std::nullopt},
        {std::numeric_limits<std::int32_t>::max(), 50, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto got = locateName(index, c.song, c.tableSize);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.song << " " << c.tableSize;
        if (got) {
            EXPECT_EQ(got->offset, c.expected->offset) << c.song;
            EXPECT_EQ(got->length, c.expected->length) << c.song;
        }
    }
}

}  // namespace
}  // namespace kdb2mid
