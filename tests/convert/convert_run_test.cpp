#include "convert/convert_run.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

TEST(ConvertRun, KaraokeImpliesUtf8UnlessStoredTextIsAsked) {
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
        ConvertOptions options;
        // Another output alongside changes nothing: only the .kar is read by players of UTF-8.
        options.outputs.add(Output::lrc);
        if (c.karaoke) options.outputs.add(Output::karaoke);
        EXPECT_EQ(lyricTextFor(c.lyrics, options), c.expected);
    }
}

}  // namespace
}  // namespace kdb2mid
