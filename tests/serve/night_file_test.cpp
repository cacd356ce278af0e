// The state file: a night written and read back is the same night; damaged
// files of every kind are refused, set aside once, and the night starts
// empty.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "serve/night_file.hpp"
#include "serve/night_store.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

NightState busyNight() {
    NightState night;
    QueueEntry added;
    night.add(50004, "TRỐNG CƠM", "Ánh", 3, "0123456789ab", added);
    night.add(50005, "BÈO DẠT MÂY TRÔI", "<script>alert(1)</script>", -2, "", added);
    night.add(50001, "TWINKLE", "\"onerror=", 0, "0123456789ab", added);
    night.next(std::nullopt);
    night.setControls({true, 5, 80, GuideLevel::strong});
    return night;
}

std::optional<NightState> read(const std::string& text) {
    return readNightFile(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(NightFile, WrittenNightReadsBackTheSame) {
    const NightState night = busyNight();
    const std::optional<NightState> again = read(nightFileText(night));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, night);
    EXPECT_EQ(again->songKey("ANH", 50004), 5);
    EXPECT_EQ(read(nightFileText(NightState{})), NightState{});
}

// Each case changes one thing of a good file; none may be taken for a night.
TEST(NightFile, RefusesDamagedFiles) {
    const Json good = Json::parse(nightFileText(busyNight()));
    const auto with = [&](const char* pointer, const Json& value) {
        Json changed = good;
        changed[Json::json_pointer(pointer)] = value;
        return changed.dump();
    };
    const auto without = [&](const char* field) {
        Json changed = good;
        changed.erase(field);
        return changed.dump();
    };
    Json tooMany = good;
    for (int i = 0; i < 201; ++i) tooMany["entries"].push_back(good["entries"][1]);
    std::string nested(10, '[');
    const std::string cases[] = {
        "",
        "{",
        good.dump().substr(0, good.dump().size() / 2),
        "[]",
        "\xEF\xBB\xBF" + good.dump().substr(0, 20),
        std::string("{\"kdb2mid-night\":1,") + nested,
        with("/kdb2mid-night", 2),
        with("/version", -1),
        with("/version", "3"),
        with("/lastId", 1),                       // below the ids in use
        with("/entries/0/id", good["playing"]["id"]),  // two entries with one id
        with("/entries/0/key", 13),
        with("/entries/0/song", 0),
        with("/entries/0/singer", std::string(41, 'a')),
        with("/entries/0/singer", "a\x01" "b"),
        with("/entries/0/phone", "0123456789AB"),
        with("/entries/0/phone", "abc"),
        with("/entries/0/title", std::string(3000, 'x')),
        with("/playing/id", 0),
        with("/controls/tempo", 500),
        with("/controls/guide", "loud"),
        with("/controls/paused", 0),
        with("/history/0/key", 1.5),
        with("/keys/0/singer", "Ánh"),           // not folded: never found again
        with("/keys/0/songs/0", Json::array({50004})),
        with("/keys/0/songs/1", Json::array({50004, 1})),
        with("/entries", Json::object()),
        tooMany.dump(),
        without("playing"),
        without("controls"),
        without("keys"),
        without("history"),
        std::string(kMaxNightFileBytes + 1, ' '),
    };
    ASSERT_TRUE(read(good.dump()));
    for (const std::string& text : cases) {
        EXPECT_FALSE(read(text)) << text.substr(0, 200);
    }
}

TEST(NightStore, DamagedFileIsSetAsideAndTheNightStartsEmpty) {
    const test::TempDir folder;
    const fs::path file = folder.path() / "state" / "night.json";
    EXPECT_EQ(loadNightFile(file).outcome, NightLoad::Outcome::none);

    const NightState night = busyNight();
    ASSERT_EQ(writeNightFile(file, nightFileText(night)), 0);
    const NightLoad loaded = loadNightFile(file);
    EXPECT_EQ(loaded.outcome, NightLoad::Outcome::loaded);
    EXPECT_EQ(loaded.night, night);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);

    const std::string damaged = nightFileText(night).substr(0, 100);
    std::ofstream(file, std::ios::binary) << damaged;
    const NightLoad refused = loadNightFile(file);
    EXPECT_EQ(refused.outcome, NightLoad::Outcome::damagedKept);
    EXPECT_EQ(refused.night, NightState{});
    EXPECT_EQ(refused.keptAs, fs::path(file.string() + ".damaged"));
    EXPECT_FALSE(fs::exists(file));
    std::ifstream kept(refused.keptAs, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
}

TEST(NightStore, DefaultFileFollowsXdgThenHome) {
    EXPECT_EQ(defaultNightFile("/x/state", "/home/a"), fs::path("/x/state/kdb2mid/night.json"));
    EXPECT_EQ(defaultNightFile("relative", "/home/a"),
              fs::path("/home/a/.local/state/kdb2mid/night.json"));
    EXPECT_EQ(defaultNightFile(nullptr, nullptr), std::nullopt);
}

}  // namespace
}  // namespace kdb2mid
