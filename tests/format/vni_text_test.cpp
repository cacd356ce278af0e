#include "format/vni_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

std::string decode(const Bytes& text) { return decodeVniToUtf8(text); }

std::string decode(const std::string& text) {
    return decode(Bytes(text.begin(), text.end()));
}

// Number of characters in UTF-8 text.
std::size_t characterCount(const std::string& utf8) {
    std::size_t count = 0;
    for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The modifier bytes after an upper-case base, in the order the rows below
// list their letters: acute grave hook tilde dot, circumflex and circumflex
// with acute grave hook tilde dot, breve and breve with the same five.
const Bytes kModifiers = test::bytes(
    {0xD9, 0xD8, 0xDB, 0xD5, 0xCF, 0xC2, 0xC1, 0xC0, 0xC5, 0xC3, 0xC4, 0xCA, 0xC9, 0xC8, 0xDA, 0xDC, 0xCB});

struct BaseRow {
    std::uint8_t upperBase;
    std::uint8_t lowerBase;
    const char* upper;  // the letters of the first modifiers, in kModifiers order
    const char* lower;
};

const BaseRow kRows[] = {
    {'A', 'a', "ÁÀẢÃẠÂẤẦẨẪẬĂẮẰẲẴẶ", "áàảãạâấầẩẫậăắằẳẵặ"},
    {'E', 'e', "ÉÈẺẼẸÊẾỀỂỄỆ", "éèẻẽẹêếềểễệ"},
    {'O', 'o', "ÓÒỎÕỌÔỐỒỔỖỘ", "óòỏõọôốồổỗộ"},
    {'U', 'u', "ÚÙỦŨỤ", "úùủũụ"},
    {'Y', 'y', "ÝỲỶỸ", "ýỳỷỹ"},
    {0xD4, 0xF4, "ỚỜỞỠỢ", "ớờởỡợ"},
    {0xD6, 0xF6, "ỨỪỬỮỰ", "ứừửữự"},
};

TEST(VniText, EveryBaseAndModifierIsOnePrecomposedLetter) {
    for (const BaseRow& row : kRows) {
        const std::size_t letters = characterCount(row.upper);
        ASSERT_EQ(letters, characterCount(row.lower));
        Bytes upper;
        Bytes lower;
        for (std::size_t m = 0; m < letters; ++m) {
            upper.insert(upper.end(), {row.upperBase, kModifiers[m]});
            lower.insert(lower.end(), {row.lowerBase, static_cast<std::uint8_t>(kModifiers[m] + 0x20)});
        }
        EXPECT_EQ(decode(upper), row.upper) << "base " << int{row.upperBase};
        EXPECT_EQ(decode(lower), row.lower) << "base " << int{row.lowerBase};
    }
}

TEST(VniText, ModifiersNotListedForABaseStaySeparate) {
    // Per base, how many of kModifiers it takes; I never takes one.
    struct Base {
        std::uint8_t code;
        std::size_t takes;
    };
    const Base bases[] = {{'A', 17}, {'E', 11}, {'O', 11}, {'U', 5}, {'Y', 4}, {0xD4, 5},
                          {0xD6, 5}, {'I', 0},  {'B', 0}};
    for (const Base& base : bases) {
        for (std::size_t m = base.takes; m < kModifiers.size(); ++m) {
            for (const int lowerCase : {0, 0x20}) {
                const Bytes text{static_cast<std::uint8_t>(base.code + lowerCase),
                                 static_cast<std::uint8_t>(kModifiers[m] + lowerCase)};
                EXPECT_EQ(characterCount(decode(text)), 2u)
                    << std::hex << int{text[0]} << " " << int{text[1]};
            }
        }
    }
}

TEST(VniText, SingleByteLetters) {
    EXPECT_EQ(decode(test::bytes({0xD1, 0xF1, 0xD4, 0xF4, 0xD6, 0xF6, 0xCD, 0xED, 0xCC, 0xEC,
                                  0xC6, 0xE6, 0xD3, 0xF3, 0xD2, 0xF2, 0xCE, 0xEE})),
              "ĐđƠơƯưÍíÌìỈỉĨĩỊịỴỵ");
}

TEST(VniText, BytesOutsideTheTableFallBackToWindows1252) {
    Bytes symbols;
    for (int code = 0x80; code <= 0x9F; ++code) symbols.push_back(static_cast<std::uint8_t>(code));
    // The five codes Windows-1252 leaves open keep their C1 code points.
    EXPECT_EQ(decode(symbols),
              "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");

    const Bytes letterCodes = test::bytes({0xD1, 0xD4, 0xD6, 0xCD, 0xCC, 0xC6, 0xD3, 0xD2, 0xCE,
                                           0xF1, 0xF4, 0xF6, 0xED, 0xEC, 0xE6, 0xF3, 0xF2, 0xEE});
    for (int code = 0xA0; code <= 0xFF; ++code) {
        const auto byte = static_cast<std::uint8_t>(code);
        if (std::find(letterCodes.begin(), letterCodes.end(), byte) != letterCodes.end()) continue;
        const std::string latin1{static_cast<char>(0xC0 | (code >> 6)),
                                 static_cast<char>(0x80 | (code & 0x3F))};
        EXPECT_EQ(decode(Bytes{byte}), latin1) << std::hex << code;
    }
}

TEST(VniText, TextAroundTheLetters) {
    const struct {
        std::string stored;
        std::string shown;
    } cases[] = {
        {"Xin cha\xF8o", "Xin chào"},
        {"", ""},
        {std::string("a\0z\x7F", 4), std::string("a\0z\x7F", 4)},  // ASCII as it is
        {"\xF9", "ù"},                                // a modifier with no base before it
        {" \xD9", " Ù"},
        {"a", "a"},                                   // a base at the end of the text
        {"A\xF9", "Aù"},                              // upper-case base, lower-case modifier
        {"a\xD9", "aÙ"},
        {"a\xE2\xF9", "âù"},                          // one modifier per letter
        {"\xF1\xF9", "đù"},                           // a single-byte letter takes none
        {"Tro\xE1ng C\xF4m", "Trống Cơm"},
        {"Ng\xF6\xF4\xF8i", "Người"},
        {"B\xC8O D\xC6T", "BÈO DỈT"},                 // È is Latin-1, Ỉ a letter
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c.stored), c.shown) << c.shown;
}

TEST(VniText, HasEncodedLetters) {
    EXPECT_FALSE(hasEncodedLetters(Bytes{}));
    EXPECT_FALSE(hasEncodedLetters(test::bytes({'X', 'i', 'n', 0x7F})));
    EXPECT_TRUE(hasEncodedLetters(test::bytes({'a', 0x80})));
    EXPECT_TRUE(hasEncodedLetters(test::bytes({0xF8})));
}

}  // namespace
}  // namespace kdb2mid
