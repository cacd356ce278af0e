#include "cli/convert_command.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

TEST(ConvertCommand, ParsesSongNumbersAndRangesStrictly) {
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

TEST(ConvertCommand, PlansSongsFromTheIndex) {
    struct Case {
        const char* name;
        ConvertRequest request;
        std::vector<std::int32_t> songs;
        std::size_t outside;
    };
    auto songs = [](std::vector<std::int32_t> list) {
        ConvertRequest request;
        request.songs = std::move(list);
        return request;
    };
    auto range = [](std::int32_t first, std::int32_t last) {
        ConvertRequest request;
        request.range = SongRange{first, last};
        return request;
    };
    ConvertRequest all;
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

TEST(ConvertCommand, KaraokeImpliesUtf8UnlessStoredTextIsAsked) {
    const std::string utf8 = "utf8";
    const std::string vni = "vni";
    struct Case {
        const std::string* lyrics;
        bool karaoke;
        LyricText expected;
    };
    const Case cases[] = {
        {nullptr, false, LyricText::stored}, {&utf8, false, LyricText::utf8},
        {&vni, false, LyricText::stored},    {nullptr, true, LyricText::utf8},
        {&utf8, true, LyricText::utf8},      {&vni, true, LyricText::stored},
    };
    for (const Case& c : cases) {
        const ConvertOptions options = convertOptionsFor(c.lyrics, c.karaoke);
        EXPECT_EQ(options.lyrics, c.expected);
        EXPECT_EQ(options.outputs.has(Output::karaoke), c.karaoke);
    }
}

}  // namespace
}  // namespace kdb2mid
