#include "export/song_names.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "format/byte_order.hpp"
#include "format/export_layout.hpp"
#include "test_support.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;

std::u16string convert(const Bytes& name, CompositionRow& row, std::u16string prefix = {}) {
    std::vector<char16_t> units(prefix.begin(), prefix.end());
    row = convertName(name, row, units);
    return std::u16string(units.begin(), units.end());
}

TEST(ConvertName, ComposesAndCopiesLetters) {
    using B = BaseLetter;
    struct Case {
        Bytes name;
        CompositionRow rowIn;
        std::u16string expected;
        CompositionRow rowOut;
    };
    const Case cases[] = {
        {bytes({0x41, 0xD8}), {}, u"\u00C0", B::a},        // À
        {bytes({0xD4, 0xD9}), {}, u"\u1EDA", B::oHorn},    // Ơ + acute: Ớ
        {bytes({0x55, 0xCF}), {}, u"\u1EE4", B::u},        // Ụ
        {bytes({0xD6, 0xDB}), {}, u"\u1EEC", B::uHorn},    // Ử
        {bytes({0x59, 0xCF}), {}, u"\u1EF4", B::y},        // Ỵ
        {bytes({0x4F, 0xC1}), {}, u"\u1ED0", B::o},        // Ố
        {bytes({0x41, 0xDA}), {}, u"\u1EB2", B::a},        // Ẳ
        // A second diacritic byte finds the composed letter, keeps the row
        // and replaces it.
        {bytes({0x41, 0xD8, 0xD9}), {}, u"\u00C1", B::a},
        // A mark the base cannot carry leaves the code unit 0; the next
        // diacritic byte still composes with E.
        {bytes({0x45, 0xCA}), {}, std::u16string(1, u'\0'), B::e},
        {bytes({0x45, 0xCA, 0xD9}), {}, u"\u00C9", B::e},
        // Single-byte letters and bytes that stand for themselves.
        {bytes({0xD1, 0xC6, 0xD2, 0xD3, 0xCC, 0xCD}), {}, u"\u0110\u1EC8\u1ECA\u0128\u00CC\u00CD", {}},
        {bytes({0xC7, 0xCE, 0xD0, 0xD7, 0xDC, 0xE9, 0x20, 0x7F}), {},
         u"\u00C7\u00CE\u00D0\u00D7\u00DC\u00E9 \u007F", {}},
        // A base letter chooses a row only when a diacritic byte follows it.
        {bytes({0x41, 0x45}), B::o, u"AE", B::o},
        // After a letter that is no base, the row carried from earlier names
        // composes (and replaces that letter).
        {bytes({0x58, 0xD9}), B::o, u"\u00D3", B::o},
        // Lower-case letters are no base: with no row yet, the diacritic byte
        // stands for itself.
        {bytes({0x61, 0xD9}), {}, u"a\u00D9", {}},
        // A diacritic byte first in a name replaces nothing, row or not.
        {bytes({0xD8, 0x41}), B::a, u"\u00D8A", B::a},
        {bytes({0xCF}), {}, u"\u00CF", {}},
        {{}, B::y, u"", B::y},
        // Line ends would split the list: they show as U+FFFD; tabs and other
        // control bytes stand for themselves.
        {bytes({0x41, 0x0A, 0x0D, 0x09, 0x00}), {}, std::u16string(u"A\uFFFD\uFFFD\t") + u'\0', {}},
    };
    for (const Case& c : cases) {
        CompositionRow row = c.rowIn;
        EXPECT_EQ(convert(c.name, row), c.expected) << ::testing::PrintToString(c.name);
        EXPECT_EQ(row, c.rowOut) << ::testing::PrintToString(c.name);
    }
}

TEST(ConvertName, NeverReplacesCodeUnitsBeforeTheName) {
    CompositionRow row = BaseLetter::a;
    EXPECT_EQ(convert(bytes({0xD8}), row, u"\uFEFF"), u"\uFEFF\u00D8");
    // The second diacritic byte composes with the row carried in, within the name.
    EXPECT_EQ(convert(bytes({0xC0, 0xDB}), row, u"AB\n"), u"AB\n\u1EA2");
}

TEST(CompositionTable, HoldsFiftyEightDistinctCapitals) {
    const std::size_t expectedPerRow[kBaseLetterCount] = {16, 11, 11, 5, 5, 5, 5};
    std::set<char16_t> letters;
    for (std::size_t row = 0; row < kBaseLetterCount; ++row) {
        std::size_t filled = 0;
        for (int byte = 0; byte < 256; ++byte) {
            const auto letter =
                composedLetter(static_cast<BaseLetter>(row), static_cast<std::uint8_t>(byte));
            const bool diacritic = (byte >= 0xC0 && byte <= 0xC5) || (byte >= 0xC8 && byte <= 0xCB) ||
                                   byte == 0xCF || byte == 0xD5 || (byte >= 0xD8 && byte <= 0xDB);
            EXPECT_EQ(letter.has_value(), diacritic) << byte;
            if (letter && *letter != 0) {
                ++filled;
                letters.insert(*letter);
            }
        }
        EXPECT_EQ(filled, expectedPerRow[row]) << row;
    }
    EXPECT_EQ(letters.size(), 58u);
}

// name.idx bytes from song 50001's entry on.
Bytes indexEntries(const std::vector<std::uint32_t>& entries) {
    Bytes out;
    for (std::uint32_t entry : entries) appendBigEndian32(out, entry);
    return out;
}

// A complete index (kListedSongCount + 1 entries) that begins with first and
// gives every later song no name.
Bytes completeIndex(std::vector<std::uint32_t> first) {
    const std::uint32_t last = first.empty() ? 0 : first.back();
    first.resize(kListedSongCount + 1, last);
    return indexEntries(first);
}

Bytes utf16(std::u16string_view text) {
    Bytes out;
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

Bytes firstBytes(const Bytes& text, std::size_t count) {
    return Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(count, text.size())));
}

// The notices for the songs up to lastSong.
std::vector<std::string> noticeLines(const SongNameList& list, std::int32_t lastSong) {
    std::vector<std::string> lines;
    for (const SongNameNotice& notice : list.notices) {
        if (notice.song <= lastSong) {
            lines.push_back(songNameNotice(notice));
        }
    }
    return lines;
}

TEST(ExportSongNames, WritesByteOrderMarkNameTabNumberLineFeed) {
    const Bytes table = bytes({0x48, 0x41, 0xD8, 0x00});
    const SongNameList list = exportSongNames(completeIndex({0, 4}), {0, table});
    EXPECT_EQ(firstBytes(list.text, 20),
              bytes({0xFF, 0xFE, 0x48, 0x00, 0xC0, 0x00, 0x09, 0x00, 0x35, 0x00, 0x30, 0x00, 0x30,
                     0x00, 0x30, 0x00, 0x31, 0x00, 0x0A, 0x00}));
}

TEST(ExportSongNames, LinesKeepTheirIndexPositionWhateverTheEntries) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> entries;  // from song 50001 on; later songs get no name
        Bytes table;
        std::u16string firstLines;  // after the byte-order mark
        std::vector<std::string> notices;
    };
    const Case cases[] = {
        {"names, an empty name, a skipped song",
         {0, 3, 4, 4, 7},
         bytes({0x4F, 0xC2, 0x00, 0x00, 0x45, 0xD8, 0x00}),
         u"\u00D4\t50001\n\t50002\n*****\t50003\nÈ\t50004\n",
         {"Skip 50003"}},
        {"the row carries to the next name, never across its line feed",
         {0, 3, 5, 8},
         bytes({0x4F, 0xC2, 0x00, 0xD9, 0x00, 0x58, 0xD8, 0x00}),
         u"\u00D4\t50001\n\u00D9\t50002\n\u00D2\t50003\n",
         {}},
        {"an entry below the one before it",
         {6, 2, 4, 6},
         bytes({0x00, 0x00, 0x41, 0x00, 0x42, 0x00}),
         u"*****\t50001\nA\t50002\nB\t50003\n",
         {"Cannot export the name of song 50001: the name.idx entry after it lies below its own"}},
        {"a name past the end of name.tab",
         {0, 2, 9},
         bytes({0x41, 0x00, 0x42}),
         u"A\t50001\n*****\t50002\n",
         {"Cannot export the name of song 50002: it runs past the end of name.tab"}},
        {"empty names read nothing, wherever they point",
         {5, 6, 6, 0x7FFFFFFF, 0x80000000},
         {},
         u"\t50001\n*****\t50002\n*****\t50003\n\t50004\n",
         {"Skip 50002", "Cannot export the name of song 50003: it runs past the end of name.tab"}},
        {"names of 1024 bytes and longer",
         {0, 1025, 2051},
         test::concat({Bytes(1024, 0x41), bytes({0}), Bytes(1025, 0x42), bytes({0})}),
         std::u16string(1024, u'A') + u"\t50001\n*****\t50002\n",
         {"Cannot export the name of song 50002: it is longer than 1024 bytes"}},
        {"a name that ends exactly at the end of name.tab",
         {0, 3},
         bytes({0x41, 0x42}),
         u"AB\t50001\n",
         {}},
    };
    for (const Case& c : cases) {
        const SongNameList list = exportSongNames(completeIndex(c.entries), {0, c.table});
        const Bytes expected = utf16(u"\uFEFF" + c.firstLines);
        EXPECT_EQ(firstBytes(list.text, expected.size()), expected) << c.what;
        const auto lastSong = kFirstListedSong + static_cast<std::int32_t>(c.entries.size()) - 2;
        EXPECT_EQ(noticeLines(list, lastSong), c.notices) << c.what;
    }
}

TEST(ExportSongNames, ReadsNamesThroughTheTableWindow) {
    // Names past the 256-byte buffer of the database's own tools: it was no
    // limit of the format.
    Bytes table(300, 0x41);
    table.push_back(0x00);
    const SongNameList list = exportSongNames(completeIndex({1000, 1301}), {1000, table});
    std::u16string text = u"\uFEFF";
    text.append(300, u'A');
    text += u"\t50001\n";
    const Bytes expected = utf16(text);
    EXPECT_EQ(firstBytes(list.text, expected.size()), expected);
    // An entry below the window counts as outside name.tab.
    const SongNameList below = exportSongNames(completeIndex({10, 12}), {11, bytes({0x41, 0x42})});
    EXPECT_EQ(songNameNotice(below.notices.front()),
              "Cannot export the name of song 50001: it runs past the end of name.tab");
}

TEST(ExportSongNames, ShortIndexEndsTheListWithANotice) {
    struct Case {
        Bytes index;
        std::u16string text;
        std::string notice;
    };
    const Bytes table = bytes({0x41, 0x00, 0x42, 0x00});
    const Case cases[] = {
        {indexEntries({0, 2, 4}), u"\uFEFFA\t50001\nB\t50002\n",
         "Cannot export the names from song 50003 on: name.idx ends before them"},
        // A partial entry at the end is no entry.
        {test::concat({indexEntries({0, 2}), bytes({0, 0, 0})}), u"\uFEFFA\t50001\n",
         "Cannot export the names from song 50002 on: name.idx ends before them"},
        // Not a single name: nothing to write.
        {indexEntries({0}), u"", "Cannot export the names from song 50001 on: name.idx ends before them"},
        {{}, u"", "Cannot export the names from song 50001 on: name.idx ends before them"},
    };
    for (const Case& c : cases) {
        const SongNameList list = exportSongNames(c.index, {0, table});
        EXPECT_EQ(list.text, utf16(c.text)) << c.notice;
        ASSERT_EQ(list.notices.size(), 1u) << c.notice;
        EXPECT_EQ(songNameNotice(list.notices[0]), c.notice);
        EXPECT_TRUE(isFailure(list.notices[0]));
    }
}

TEST(ExportSongNames, ReadsNoMoreEntriesThanTheListCovers) {
    Bytes index = completeIndex({0, 2});
    const Bytes extra = indexEntries({0, 0, 0});  // entries below their predecessor, not read
    index.insert(index.end(), extra.begin(), extra.end());
    const SongNameList list = exportSongNames(index, {0, bytes({0x41, 0x00})});
    for (const SongNameNotice& notice : list.notices) EXPECT_FALSE(isFailure(notice));
}

}  // namespace
}  // namespace kdb2mid
