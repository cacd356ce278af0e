#include <gtest/gtest.h>

#include "serve/request_target.hpp"

namespace kdb2mid {
namespace {

using Query = std::vector<std::pair<std::string, std::string>>;

TEST(RequestTarget, DecodesSegmentsAndQuery) {
    struct Case {
        const char* target;
        std::vector<std::string> segments;
        Query query;
    };
    const Case cases[] = {
        {"/", {}, {}},
        {"/?", {}, {}},
        {"/api/songs/50004", {"api", "songs", "50004"}, {}},
        {"/a%20b/%C3%B4", {"a b", "\xC3\xB4"}, {}},
        {"/a+b", {"a+b"}, {}},
        {"/s?q=tr%E1%BB%91ng+c%C6%A1m&limit=5",
         {"s"},
         {{"q", "tr\xE1\xBB\x91ng c\xC6\xA1m"}, {"limit", "5"}}},
        {"/s?flag&&a=&=b&c=d=e", {"s"}, {{"flag", ""}, {"a", ""}, {"", "b"}, {"c", "d=e"}}},
        {"/s?p=%2e%2e%2F", {"s"}, {{"p", "../"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        TargetRefusal why = TargetRefusal::tooLong;
        const std::optional<RequestTarget> parsed = parseTarget(c.target, why);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(why, TargetRefusal::none);
        EXPECT_EQ(parsed->segments, c.segments);
        EXPECT_EQ(parsed->query, c.query);
    }
}

TEST(RequestTarget, RefusesWhatNoAddressHolds) {
    const std::pair<std::string, TargetRefusal> cases[] = {
        {std::string(kMaxTargetBytes + 1, '/'), TargetRefusal::tooLong},
        {"", TargetRefusal::malformed},
        {"tv.js", TargetRefusal::malformed},
        {"/a b", TargetRefusal::malformed},
        {"/\xC3\xB4", TargetRefusal::malformed},
        {"/a%4", TargetRefusal::malformed},
        {"/a%g0", TargetRefusal::malformed},
        {"/s?q=%", TargetRefusal::malformed},
        {"/a//b", TargetRefusal::unsafePath},
        {"/a/", TargetRefusal::unsafePath},
        {"/a/%2E/b", TargetRefusal::unsafePath},
        {"/a/%2e%2E", TargetRefusal::unsafePath},
        {"/a%2Fb", TargetRefusal::unsafePath},
        {"/a%5Cb", TargetRefusal::unsafePath},
        {"/a%00", TargetRefusal::unsafePath},
        {"/a%0A", TargetRefusal::unsafePath},
        {"/a%7F", TargetRefusal::unsafePath},
    };
    for (const auto& [target, refusal] : cases) {
        TargetRefusal why = TargetRefusal::none;
        EXPECT_FALSE(parseTarget(target, why)) << target;
        EXPECT_EQ(why, refusal) << target;
    }
}

}  // namespace
}  // namespace kdb2mid
