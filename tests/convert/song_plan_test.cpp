// Which songs a run converts: numbers and ranges as typed, the plan from
// the index.
#include "convert/song_plan.hpp"

#include <gtest/gtest.h>

#include "format/database_layout.hpp"

namespace kdb2mid {
namespace {

TEST(SongPlan, ParsesSongNumbersAndRangesStrictly) {
    const std::pair<const char*, std::optional<std::int32_t>> songs[] = {
        {"50001", 50001}, {"0", 0}, {"2147483647", 2147483647}, {"2147483648", std::nullopt},
        {"", std::nullopt}, {"-5", std::nullopt}, {"+5", std::nullopt}, {" 5", std::nullopt},
        {"5x", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto& [text, expected] : songs) EXPECT_EQ(parseSongArgument(text), expected) << text;

    struct RangeCase {
        const char* text;
        bool valid;
        std::int32_t first;
        std::int32_t last;
    };
    const RangeCase ranges[] = {
        {"50001-50005", true, 50001, 50005}, {"7-7", true, 7, 7},
        {"50005-50001", false, 0, 0},        {"50001", false, 0, 0},
        {"-50005", false, 0, 0},             {"50001-", false, 0, 0},
        {"1-2-3", false, 0, 0},              {"1 - 2", false, 0, 0},
    };
    for (const RangeCase& c : ranges) {
        const auto got = parseSongRange(c.text);
        ASSERT_EQ(got.has_value(), c.valid) << c.text;
        if (got) {
            EXPECT_EQ(got->first, c.first);
            EXPECT_EQ(got->last, c.last);
        }
    }
}

TEST(SongPlan, PlansSongsFromTheIndex) {
    struct Case {
        const char* name;
        SongChoice request;
        std::vector<std::int32_t> songs;
        std::size_t outside;
    };
    auto songs = [](std::vector<std::int32_t> list) {
        SongChoice request;
        request.songs = std::move(list);
        return request;
    };
    auto range = [](std::int32_t first, std::int32_t last) {
        SongChoice request;
        request.range = SongRange{first, last};
        return request;
    };
    SongChoice all;
    all.all = true;
    // The index has entries for songs 100..104.
    const Case cases[] = {
        {"all", all, {100, 101, 102, 103, 104}, 0},
        {"range inside", range(101, 103), {101, 102, 103}, 0},
        {"range over both ends", range(98, 106), {100, 101, 102, 103, 104}, 4},
        {"range past the end", range(200, 210), {}, 11},
        {"whole 32-bit range", range(0, 2147483647), {100, 101, 102, 103, 104}, 2147483643},
        {"numbers kept as given, each once", songs({104, 7, 104, 100, 7}), {104, 7, 100}, 0},
    };
    const auto songsOf = [](const SongPlan& plan) {
        const SongSelection selection = plan.selection();
        std::vector<std::int32_t> list;
        for (std::size_t i = 0; i < selection.size(); ++i) list.push_back(selection[i]);
        return list;
    };
    for (const Case& c : cases) {
        const SongPlan plan = planSongs(c.request, 100, 5);
        EXPECT_EQ(songsOf(plan), c.songs) << c.name;
        EXPECT_EQ(plan.outsideIndex, c.outside) << c.name;
    }
    EXPECT_TRUE(planSongs(all, 100, 0).selection().empty());
    // Every song an index can address is planned as its two ends, not a list.
    const SongPlan huge = planSongs(all, kFirstSongNumber, 2147483647 - kFirstSongNumber);
    EXPECT_EQ(huge.selection().size(), std::size_t{2147483647 - kFirstSongNumber});
    EXPECT_EQ(huge.selection()[huge.selection().size() - 1], 2147483646);
    EXPECT_TRUE(huge.songs.empty());
}

TEST(ParseSongNumber, ReadsLikeAtoi) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"21090", 21090},       {"21090abc", 21090},     {"  \t21090", 21090},
        {"+21090", 21090},      {"-21090", -21090},      {"abc", 0},
        {"", 0},                {"+-5", 0},              {" - 5", 0},
        {"00021090", 21090},    {"2147483647", 2147483647},
        {"99999999999", 2147483647},                      {"-99999999999", -2147483647 - 1},
        {"21090.5", 21090},
    };
    for (const Case& c : cases) EXPECT_EQ(parseSongNumber(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace kdb2mid
