#include <gtest/gtest.h>

#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "inspect/song_json.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid {
namespace {

using Json = nlohmann::json;

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// Output that any JSON reader takes: one line, well-formed UTF-8, no raw
// control character.
Json readBack(const std::string& line) {
    EXPECT_EQ(line.find('\n'), std::string::npos);
    for (const char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
    EXPECT_EQ(wellFormedUtf8(line), line);
    return Json::parse(line);
}

TEST(SongJson, ListObjectHoldsSongAndName) {
    struct Case {
        std::string name;
        std::string read;
    };
    const Case cases[] = {
        {"TRỐNG CƠM", "TRỐNG CƠM"},
        {"say \"hi\"\\", "say \"hi\"\\"},
        {"a\x1B[2J\nb", "a\x1B[2J\nb"},                  // escaped by the writer
        {"a\xFF" "b\xC3", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},  // bytes that do not decode
        {"c1\xC2\x9B", "c1\xEF\xBF\xBD"},                // a C1 control
    };
    for (const Case& c : cases) {
        const Json object = readBack(listJson(50004, c.name));
        EXPECT_EQ(object["song"], 50004);
        EXPECT_EQ(object["name"].get<std::string>(), c.read);
    }
}

TEST(SongJson, InfoObjectHoldsEveryFact) {
    SongFacts facts;
    facts.song = 50003;
    // Stored text: "e\xF8" is "è", and 0x01 a control character.
    facts.titles = {bytesOf("Fre\xF8re Jacques"), bytesOf("bad\x01")};
    facts.tracks = 4;
    facts.ticks = 4800;
    facts.seconds = 24.0404;
    facts.lyricLines = {bytesOf("  Fre\xF8re Jacques"), bytesOf("Dormez-vous?\t")};
    facts.chorusParts = {{1, 4096, "50003-1.mp3", ChorusPartProblem::none},
                         {2, 0, "", ChorusPartProblem::endBeforeStart}};
    const Json object = readBack(infoJson(facts));
    EXPECT_EQ(object["song"], 50003);
    EXPECT_EQ(object["titles"], Json({"Frère Jacques", "bad\x01"}));
    EXPECT_EQ(object["tracks"], 4);
    EXPECT_EQ(object["ticks"], 4800);
    EXPECT_DOUBLE_EQ(object["seconds"].get<double>(), 24.04);
    EXPECT_EQ(object["lyrics"], Json({"Frère Jacques", "Dormez-vous?\t"}));
    EXPECT_EQ(object["chorus"][0], Json({{"part", 1}, {"bytes", 4096}, {"file", "50003-1.mp3"}}));
    EXPECT_EQ(object["chorus"][1],
              Json({{"part", 2}, {"problem", "its end lies before its start"}}));

    facts.seconds = std::numeric_limits<double>::infinity();
    EXPECT_EQ(readBack(infoJson(facts))["seconds"], 0.0);
}

}  // namespace
}  // namespace kdb2mid
