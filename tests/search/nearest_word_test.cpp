// "Did you mean": the commands a mistyped one is matched against.
#include "search/nearest_word.hpp"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace kdb2mid {
namespace {

TEST(NearestWord, SuggestsOnlyCloseWords) {
    constexpr std::array<std::string_view, 6> commands = {"convert", "info",         "list",
                                                          "names",   "chorus-index", "legacy"};
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"conver", "convert"}, {"convret", "convert"}, {"lst", "list"},
        {"Names", "names"},    {"inf", "info"},         {"chorus", "chorus-index"},
        {"legacy", "legacy"},  {"abc", ""},             {"x", ""},
        {"", ""},              {"conversion", ""},      {"hel", ""},
    };
    for (const auto& [typed, expected] : cases) {
        const auto nearest = nearestWord(typed, commands);
        EXPECT_EQ(nearest.value_or(""), expected) << typed;
    }
    EXPECT_EQ(editDistance("kitten", "sitting"), 3U);
    EXPECT_EQ(editDistance("", "list"), 4U);
    EXPECT_EQ(editDistance("list", "list"), 0U);
}

}  // namespace
}  // namespace kdb2mid
