// Vietnamese alphabetical order against lists written by hand from the
// alphabet (a ă â b c d đ e ê g h i k l m n o ô ơ p q r s t u ư v x y, tone
// marks in the order none, grave, hook, tilde, acute, dot below), not by ICU.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "collation/title_order.hpp"

namespace kdb2mid {
namespace {

std::vector<std::string> sorted(std::vector<std::string> titles) {
    const auto collator = TitleCollator::create();
    if (!collator) return {};
    std::vector<std::string> out;
    for (const std::size_t at : alphabeticalOrder(*collator, titles)) out.push_back(titles[at]);
    return out;
}

TEST(TitleOrder, SortsByTheVietnameseAlphabet) {
    const std::vector<std::vector<std::string>> lists = {
        // One word for each letter, and the letters with marks of their own
        // after their base letter.
        {"An", "Ăn", "Ân", "Bé", "Cá", "Dê", "Đá", "Em", "Ê a", "Gà", "Hoa", "Im", "Kể", "Lá",
         "Mẹ", "No", "Ong", "Ô", "Ơi", "Phở", "Quê", "Rau", "Sông", "Tôi", "Út", "Ư", "Về", "Xa",
         "Yêu"},
        // Tone marks order words that are otherwise equal.
        {"MA", "MÀ", "MẢ", "MÃ", "MÁ", "MẠ", "MAI"},
        // A letter decides before an earlier tone mark (ò before ô); đ after
        // every d word.
        {"DÙ", "DUYÊN", "DỮ", "ĐÀ LẠT", "ĐẠI"},
        {"TRÒN", "TRÔI", "TRỐNG CƠM", "TRƠ", "TRUNG", "TRƯA"},
    };
    for (const std::vector<std::string>& expected : lists) {
        std::vector<std::string> shuffled = expected;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
        EXPECT_EQ(sorted(shuffled), expected);
    }
}

TEST(TitleOrder, EqualTitlesKeepTheirOrder) {
    const auto collator = TitleCollator::create();
    ASSERT_TRUE(collator);
    EXPECT_EQ(alphabeticalOrder(*collator, {"Xa", "Em", "Xa", "Em"}),
              (std::vector<std::size_t>{1, 3, 0, 2}));
}

TEST(TitleOrder, LetterHeadings) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ăn", "Ă"},      {"Ấm", "Â"},   {"Ánh", "A"},  {"đá", "Đ"},
        {"ếch", "Ê"},     {"Ở", "Ơ"},    {"ỏ", "O"},    {"ước", "Ư"},
        {"élan", "E"},    {"Zoo", "Z"},  {"1 2 3", "#"}, {"\xEF\xBF\xBD" "a", "#"},
        {"", "#"},        {"\xC3", "#"},  // cut inside a letter
    };
    for (const auto& [title, heading] : cases) EXPECT_EQ(letterHeading(title), heading) << title;
}

TEST(TitleOrder, SortedTitlesMeetEachHeadingOnce) {
    const std::vector<std::string> titles = sorted(
        {"Ơi", "Ôi", "ơn", "ổn", "Ong", "óng", "ăn", "Ân", "an", "Ấm", "Ắt", "ám", "Dạ", "Đá",
         "dê", "đi", "123", "Út", "ư", "ừ", "uống"});
    std::set<std::string> seen;
    std::string current;
    for (const std::string& title : titles) {
        const std::string heading = letterHeading(title);
        if (heading == current) continue;
        EXPECT_TRUE(seen.insert(heading).second) << heading << " comes back at " << title;
        current = heading;
    }
    EXPECT_EQ(seen, (std::set<std::string>{"#", "A", "Ă", "Â", "D", "Đ", "O", "Ô", "Ơ", "U", "Ư"}));
}

}  // namespace
}  // namespace kdb2mid
