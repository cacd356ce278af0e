#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/vni_text.hpp"
#include "search/search_text.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid {
namespace {

struct FoldCase {
    const char* text;
    const char* folded;
};

TEST(FoldForSearch, FoldsCaseMarksAndSeparators) {
    const FoldCase cases[] = {
        {"TRỐNG CƠM", "trong com"},
        {"Bèo dạt mây trôi", "beo dat may troi"},
        {"Đường xưa ĐÃ đi", "duong xua da di"},
        {"Ăn Ắt Ằ Ẳ Ẵ Ặ", "an at a a a a"},
        {"Ưu ỨỪỬỮỰ ƠỚỜỞỠỢ", "uu uuuuu oooooo"},
        {"Ỉ Ĩ Ị Ỵ Ý Ỳ Ỷ Ỹ", "i i i y y y y y"},
        {"Café Noël Ñandú Øresund", "cafe noel nandu oresund"},
        {"Straße Æther Œuvre", "strasse aether oeuvre"},
        {"Tre\xCC\x82\xCC\x81n", "tren"},  // decomposed: e + circumflex + acute
        {"rock'n'roll -- “live”", "rock n roll live"},
        {"  Tình   2000!  ", "tinh 2000"},
        {"a\xFF" "b\xC3", "a b"},           // bytes that are no UTF-8
        {"a\xEF\xBF\xBD" "b", "a b"},       // U+FFFD
        {"a\x1B[31mb", "a 31mb"},           // an escape sequence is no letter
        {"日本 Ωμέγα", "日本 Ωμέγα"},       // other scripts kept as they are
        {"", ""},
        {"?!", ""},
    };
    for (const FoldCase& c : cases) {
        EXPECT_EQ(foldForSearch(c.text), c.folded) << c.text;
    }
}

TEST(FoldForSearch, EveryStoredVietnameseLetterFoldsToItsBase) {
    // Every letter the stored encoding spells, both cases: a base followed by
    // each modifier byte it takes, and the single-byte letters.
    struct Base {
        std::uint8_t code;
        char folded;
    };
    const Base bases[] = {{'A', 'a'}, {'E', 'e'}, {'O', 'o'},  {'U', 'u'},  {'Y', 'y'},
                          {0xD4, 'o'}, {0xD6, 'u'}};
    std::size_t letters = 0;
    for (const Base& base : bases) {
        for (int lower = 0; lower < 2; ++lower) {
            const auto offset = static_cast<std::uint8_t>(lower * 0x20);
            for (int modifier = 0xC0; modifier <= 0xDC; ++modifier) {
                const std::vector<std::uint8_t> stored = {
                    static_cast<std::uint8_t>(base.code + offset),
                    static_cast<std::uint8_t>(modifier + offset)};
                const std::string shown = decodeVniToUtf8(stored);
                char32_t codePoint = 0;
                // Only pairs that make one letter; the others decode byte by byte.
                if (utf8SequenceAt(shown, 0, codePoint) != shown.size()) continue;
                EXPECT_EQ(foldForSearch(shown), std::string(1, base.folded)) << shown;
                ++letters;
            }
        }
    }
    EXPECT_EQ(letters, 2U * (17 + 11 + 11 + 5 + 4 + 5 + 5));
    const std::pair<std::uint8_t, char> singles[] = {{0xD1, 'd'}, {0xCD, 'i'}, {0xCC, 'i'},
                                                     {0xC6, 'i'}, {0xD3, 'i'}, {0xD2, 'i'},
                                                     {0xCE, 'y'}, {0xD4, 'o'}, {0xD6, 'u'}};
    for (const auto& [code, folded] : singles) {
        for (const std::uint8_t stored : {code, static_cast<std::uint8_t>(code + 0x20)}) {
            const std::vector<std::uint8_t> bytes = {stored};
            EXPECT_EQ(foldForSearch(decodeVniToUtf8(bytes)), std::string(1, folded)) << int{stored};
        }
    }
}

TEST(FoldForSearch, AppendsWordsOneSpaceApart) {
    std::string out;
    appendFolded("Trống", out);
    appendFolded("!!", out);
    appendFolded("Cơm", out);
    EXPECT_EQ(out, "trong com");
    const std::vector<std::string_view> words = foldedWords(out);
    ASSERT_EQ(words.size(), 2U);
    EXPECT_EQ(words[1], "com");
}

TEST(Utf8Text, MakesTextWellFormedAndCuts) {
    EXPECT_EQ(wellFormedUtf8("a\xFF" "b\xC2\x9B" "c"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c");
    EXPECT_EQ(wellFormedUtf8("tab\there"), "tab\there");
    EXPECT_TRUE(isPrintableUtf8("Trống cơm"));
    EXPECT_FALSE(isPrintableUtf8("a\tb"));
    EXPECT_FALSE(isPrintableUtf8("\xC3"));
    EXPECT_EQ(utf8Prefix("aố", 3), "a");  // ố is three bytes: not cut in two
    EXPECT_EQ(utf8Prefix("aố", 4), "aố");
}

}  // namespace
}  // namespace kdb2mid
