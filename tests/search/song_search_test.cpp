#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "search/song_search.hpp"

namespace kdb2mid {
namespace {

const std::vector<CatalogueEntry> kCatalogue = {
    {50001, "TWINKLE TWINKLE LITTLE STAR", {}},
    {50002, "Trongcom", {}},
    {50004, "TRỐNG CƠM", {"Trống cơm", "Dân ca"}},
    {50005, "BÈO DẠT MÂY TRÔI", {}},
    {50010, "Đường Xưa", {"Đường Xưa", "Lam Phương"}},
    {50011, "Đêm Đông", {}},
    {50020, "Trống Quân", {}},
};

struct QueryCase {
    std::vector<std::string> words;
    std::vector<std::int32_t> songs;  // in the order found
};

std::vector<std::int32_t> find(const std::vector<std::string>& words,
                               std::size_t limit = kNoLimit) {
    std::vector<std::int32_t> songs;
    for (const SearchMatch& match : searchCatalogue(kCatalogue, searchQuery(words), limit)) {
        songs.push_back(kCatalogue[match.entry].song);
    }
    return songs;
}

TEST(SongSearch, FindsSongsAsPeopleTypeThem) {
    const QueryCase cases[] = {
        {{"trong", "com"}, {50004}},            // without marks
        {{"trống", "cơm"}, {50004}},            // with marks
        {{"TRONG", "COM"}, {50004}},            // upper case
        {{"com", "trong"}, {50004}},            // any order
        {{"Trống-cơm"}, {50004}},               // one argument, two words
        {{"tr", "co"}, {50004}},                // prefixes
        {{"dan", "ca"}, {50004}},               // a title's words
        {{"lam", "phuong"}, {50010}},           // the second title
        {{"duong"}, {50010}},                   // đ without its stroke
        {{"Đường"}, {50010}},                   // Đ as stored
        {{"đuong", "XUA"}, {50010}},
        {{"d"}, {50004, 50005, 50010, 50011}},  // a letter starts words
        {{"xyz"}, {}},                          // a word no song has
        {{"trong", "xyz"}, {}},                 // every word must match
        {{"!!"}, {}},                           // no letter: no match
        {{}, {}},
    };
    for (const QueryCase& c : cases) {
        std::string query;
        for (const std::string& word : c.words) query += word + " ";
        EXPECT_EQ(find(c.words), c.songs) << query;
    }
}

TEST(SongSearch, WholeWordsRankBeforePrefixesThenSongNumber) {
    // "trong": a whole word of 50004 and 50020, the start of 50002's only word.
    EXPECT_EQ(find({"trong"}), (std::vector<std::int32_t>{50004, 50020, 50002}));
    // "tro": the start of a word in each, so all by number.
    EXPECT_EQ(find({"tro"}), (std::vector<std::int32_t>{50002, 50004, 50005, 50020}));
    // One query word whole and one a prefix ranks with the prefixes.
    EXPECT_EQ(find({"trong", "qu"}), (std::vector<std::int32_t>{50020}));
    EXPECT_EQ(find({"trong"}, 2), (std::vector<std::int32_t>{50004, 50020}));
    EXPECT_EQ(find({"trong"}, 0), (std::vector<std::int32_t>{}));
}

TEST(SongSearch, MatchKindOfFoldedWords) {
    const std::vector<std::string> query = {"trong", "com"};
    EXPECT_EQ(matchWords("trong com dan ca", query), MatchKind::whole);
    EXPECT_EQ(matchWords("trongcom common trong", query), MatchKind::prefix);
    EXPECT_EQ(matchWords("trong", query), std::nullopt);
    EXPECT_EQ(matchWords("", query), std::nullopt);
}

TEST(SongSearch, LineIsNumberTabName) {
    EXPECT_EQ(searchLine(kCatalogue[2]), "50004\tTRỐNG CƠM");
}

// --limit takes a count of at least one, as digits: no sign, no spaces, no
// trailing text, nothing past what size_t holds.
TEST(SongSearch, LimitIsACountAboveZero) {
    const std::pair<const char*, std::optional<std::size_t>> cases[] = {
        {"1", 1},          {"25", 25},         {"007", 7},
        {"0", std::nullopt}, {"", std::nullopt}, {"-1", std::nullopt},
        {"+3", std::nullopt}, {" 3", std::nullopt}, {"3 ", std::nullopt},
        {"3x", std::nullopt}, {"1e3", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseSearchLimit(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace kdb2mid
