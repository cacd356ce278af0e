// The karaoke night through the API as phones and the TV ask: who may do
// what, the limits, and how the night moves on. Every refusal must leave
// the night's version where it was.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "io/song_database.hpp"
#include "search/catalogue.hpp"
#include "serve/guest_access.hpp"
#include "serve/serve_api.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kTv = "127.0.0.1";
constexpr const char* kPhoneAddress = "192.168.1.31";
constexpr const char* kPin = "4821";
const std::string kTokenA(22, 'a');
const std::string kTokenB = "B-_" + std::string(40, 'b');

class PartyApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(database_.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
        ServeSetup setup;
        setup.pin = kPin;
        setup.salt = {1, 2};
        api_ = std::make_unique<ServeApi>(database_, buildCatalogue(database_, 1),
                                          std::span<const WebAsset>{}, std::move(setup));
    }

    struct Asker {
        std::string peer = kTv;
        std::string phone;
        std::string pin;
    };

    ServeReply call(const Asker& who, const std::string& method, const std::string& target,
                    const std::string& body = "") {
        ApiRequest request;
        request.method = method;
        request.target = target;
        request.host = "127.0.0.1:8080";
        request.body = body;
        request.peer = who.peer;
        request.phone = who.phone;
        request.pin = who.pin;
        request.now = now_;
        return api_->answer(request);
    }
    Json state() { return Json::parse(call({}, "GET", "/api/queue").body); }
    std::uint64_t version() { return state()["version"].get<std::uint64_t>(); }
    std::uint64_t queue(const Asker& who, const std::string& body = R"({"song":50004})") {
        const ServeReply reply = call(who, "POST", "/api/queue", body);
        EXPECT_EQ(reply.status, 201) << reply.body;
        return Json::parse(reply.body)["entry"]["id"].get<std::uint64_t>();
    }

    SongDatabase database_;
    std::unique_ptr<ServeApi> api_;
    std::chrono::steady_clock::time_point now_{};
    const Asker tv_{};
    const Asker phoneA_{kPhoneAddress, kTokenA, ""};
    const Asker phoneB_{"10.0.0.7", kTokenB, ""};
    const Asker hostPhone_{"10.0.0.8", kTokenB, kPin};
};

// Every host action from a phone: refused without the PIN and with a wrong
// one (403, the night unchanged), done with it and from this machine's screen.
TEST_F(PartyApiTest, HostActionsNeedThePin) {
    struct Action {
        const char* method;
        const char* target;
        const char* body;
    };
    const Action actions[] = {
        {"POST", "/api/queue/next", ""},
        {"POST", "/api/queue/next", R"({"after":1})"},
        {"POST", "/api/queue/move", R"({"id":3,"to":0})"},
        {"POST", "/api/controls", R"({"paused":true})"},
        {"POST", "/api/controls", R"({"key":-3,"tempo":80,"guide":"off"})"},
        {"DELETE", "/api/queue/2", ""},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(std::string(action.method) + " " + action.target + " " + action.body);
        SetUp();
        queue(tv_);
        queue(phoneB_);
        queue(phoneB_);
        ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
        const std::uint64_t before = version();
        for (const std::string pin : {"", "0000", "48210"}) {
            const Asker guest{kPhoneAddress, kTokenA, pin};
            const ServeReply refused = call(guest, action.method, action.target, action.body);
            EXPECT_EQ(refused.status, 403) << pin;
            EXPECT_NE(Json::parse(refused.body)["error"].get<std::string>().find("PIN"),
                      std::string::npos);
            EXPECT_EQ(version(), before);
        }
        now_ += 61s;  // past the wrong PINs' minute
        const ServeReply done = call(hostPhone_, action.method, action.target, action.body);
        EXPECT_EQ(done.status, 200) << done.body;
        EXPECT_EQ(Json::parse(done.body)["version"], before + 1);
    }
    // The PIN itself: this machine's screen only, whatever the PIN sent.
    EXPECT_EQ(call(hostPhone_, "GET", "/api/pin").status, 403);
    EXPECT_EQ(call({"127.0.0.2", "", ""}, "GET", "/api/pin").status, 403);
    EXPECT_EQ(Json::parse(call(tv_, "GET", "/api/pin").body), (Json{{"pin", kPin}}));
    EXPECT_EQ(Json::parse(call({"::1", "", ""}, "GET", "/api/pin").body), (Json{{"pin", kPin}}));
}

// A page elsewhere, open in this machine's browser, is not its screen.
TEST_F(PartyApiTest, ChangesComeOnlyFromThisServersPages) {
    queue(tv_);
    const std::pair<const char*, int> cases[] = {
        {"https://evil.example", 403}, {"http://evil.example:8080", 403}, {"null", 403},
        {"http://127.0.0.1.nip.io", 403}, {"http://localhost:8080", 200}, {"", 200},
    };
    for (const auto& [origin, status] : cases) {
        ApiRequest request;
        request.method = "POST";
        request.target = "/api/queue/next";
        request.host = "127.0.0.1:8080";
        request.peer = kTv;
        request.origin = origin;
        const std::uint64_t before = version();
        EXPECT_EQ(api_->answer(request).status, status) << origin;
        if (status == 403) {
            EXPECT_EQ(version(), before);
        }
        request.method = "GET";
        request.target = "/api/queue";
        EXPECT_EQ(api_->answer(request).status, 200) << origin;
    }
}

TEST_F(PartyApiTest, WrongPinsFromOneAddressAreStopped) {
    const Asker guesser{kPhoneAddress, kTokenA, "1111"};
    for (int i = 0; i < kWrongPinsAllowed; ++i) {
        EXPECT_EQ(call(guesser, "POST", "/api/queue/next").status, 403);
        now_ += 1s;
    }
    Asker right = guesser;
    right.pin = kPin;
    EXPECT_EQ(call(right, "POST", "/api/queue/next").status, 429);
    EXPECT_EQ(call(right, "GET", "/api/me").status, 429);
    // Without a PIN it is a guest as before; from another address, a host.
    EXPECT_EQ(call({kPhoneAddress, kTokenA, ""}, "GET", "/api/me").status, 200);
    EXPECT_EQ(Json::parse(call(hostPhone_, "GET", "/api/me").body)["host"], true);
    now_ += 60s;
    EXPECT_EQ(call(right, "POST", "/api/queue/next").status, 200);
}

TEST_F(PartyApiTest, QueueLimits) {
    for (std::size_t i = 0; i < kMaxEntriesPerPhone; ++i) queue(phoneA_);
    const std::uint64_t before = version();
    EXPECT_EQ(call(phoneA_, "POST", "/api/queue", R"({"song":50004})").status, 429);
    EXPECT_EQ(version(), before);
    while (state()["entries"].size() < kMaxQueueEntries) queue(tv_);
    const std::uint64_t full = version();
    EXPECT_EQ(call(phoneB_, "POST", "/api/queue", R"({"song":50004})").status, 409);
    EXPECT_EQ(call(tv_, "POST", "/api/queue", R"({"song":50004})").status, 409);
    EXPECT_EQ(version(), full);
    // A song that starts no longer waits: the phone may queue again.
    ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
    EXPECT_EQ(call(phoneA_, "POST", "/api/queue", R"({"song":50004})").status, 201);
}

// A phone removes its own entries only; its id is the same on every
// request, differs between phones and never shows the token.
TEST_F(PartyApiTest, PhonesOwnTheirEntries) {
    const std::uint64_t a = queue(phoneA_);
    const std::uint64_t b = queue(phoneB_);
    const Json entries = state()["entries"];
    const std::string idA = entries[0]["phone"];
    EXPECT_EQ(idA.size(), kPhoneIdDigits);
    EXPECT_NE(idA, entries[1]["phone"]);
    EXPECT_EQ(Json::parse(call(phoneA_, "GET", "/api/me").body),
              (Json{{"phone", idA}, {"host", false}}));
    EXPECT_EQ(call(tv_, "GET", "/api/queue").body.find(kTokenA), std::string::npos);

    const std::uint64_t before = version();
    struct Case {
        Asker who;
        std::string target;
        int status;
    };
    const Case refused[] = {
        {phoneA_, "/api/queue/" + std::to_string(b), 403},
        {{kPhoneAddress, "", ""}, "/api/queue/" + std::to_string(a), 403},
        {phoneA_, "/api/queue/999", 404},
        {{kPhoneAddress, "short", ""}, "/api/queue/" + std::to_string(a), 400},
        {{kPhoneAddress, std::string(22, '!'), ""}, "/api/queue/" + std::to_string(a), 400},
        {{kPhoneAddress, std::string(65, 'a'), ""}, "/api/queue/" + std::to_string(a), 400},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(call(c.who, "DELETE", c.target).status, c.status) << c.target;
    }
    // A malformed token is told what a token is.
    const ServeReply shortToken =
        call({kPhoneAddress, "short", ""}, "DELETE", "/api/queue/" + std::to_string(a));
    EXPECT_NE(shortToken.body.find("header must be 22 to 64 letters, digits"), std::string::npos)
        << shortToken.body;
    EXPECT_EQ(version(), before);
    EXPECT_EQ(call(phoneA_, "DELETE", "/api/queue/" + std::to_string(a)).status, 200);
    EXPECT_EQ(call(tv_, "DELETE", "/api/queue/" + std::to_string(b)).status, 200);
    EXPECT_TRUE(state()["entries"].empty());
}

TEST_F(PartyApiTest, NightMovesOn) {
    for (int i = 0; i < 4; ++i) queue(tv_, R"({"song":50004,"singer":"Ánh","key":)" + std::to_string(i) + "}");
    const auto ids = [&] {
        std::vector<std::uint64_t> list;
        const Json now = state();
        for (const Json& entry : now["entries"]) list.push_back(entry["id"]);
        return list;
    };
    EXPECT_EQ(call(tv_, "POST", "/api/queue/move", R"({"id":4,"to":0})").status, 200);
    EXPECT_EQ(call(tv_, "POST", "/api/queue/move", R"({"id":1,"to":99})").status, 200);
    EXPECT_EQ(ids(), (std::vector<std::uint64_t>{4, 2, 3, 1}));
    const std::uint64_t before = version();
    EXPECT_EQ(call(tv_, "POST", "/api/queue/move", R"({"id":9,"to":0})").status, 404);
    EXPECT_EQ(call(tv_, "POST", "/api/queue/move", R"({"id":4,"to":-1})").status, 400);
    EXPECT_EQ(call(tv_, "POST", "/api/controls", R"({"paused":true})").status, 409);
    EXPECT_EQ(call(tv_, "POST", "/api/queue/next", R"({"after":"4"})").status, 400);
    EXPECT_EQ(version(), before);

    // Two screens saying the song ended move on once.
    ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
    EXPECT_EQ(state()["playing"]["id"], 4);
    EXPECT_EQ(call(tv_, "POST", "/api/queue/next", R"({"after":4})").status, 200);
    EXPECT_EQ(call(tv_, "POST", "/api/queue/next", R"({"after":4})").status, 200);
    EXPECT_EQ(state()["playing"]["id"], 2);

    // Controls start at the entry's key and reset with the next song.
    EXPECT_EQ(state()["controls"], (Json{{"paused", false}, {"key", 1}, {"tempo", 100}, {"guide", "normal"}}));
    const struct {
        const char* body;
        int status;
    } controls[] = {
        {R"({"key":13})", 400},      {R"({"tempo":24})", 400},  {R"({"tempo":401})", 400},
        {R"({"guide":"loud"})", 400}, {R"({"paused":1})", 400}, {"[]", 400},
        {R"({"guide":"soft"})", 200},
        {R"({"key":-5,"tempo":125,"guide":"strong","paused":true})", 200},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(call(tv_, "POST", "/api/controls", c.body).status, c.status) << c.body;
    }
    EXPECT_EQ(state()["controls"], (Json{{"paused", true}, {"key", -5}, {"tempo", 125}, {"guide", "strong"}}));
    ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
    EXPECT_EQ(state()["controls"], (Json{{"paused", false}, {"key", 2}, {"tempo", 100}, {"guide", "normal"}}));
}

// A singer's keys, found again whatever case and marks the name is typed with.
TEST_F(PartyApiTest, RemembersSingersKeys) {
    const auto keys = [&](const std::string& query) {
        const ServeReply reply = call(phoneA_, "GET", "/api/keys?" + query);
        EXPECT_EQ(reply.status, 200) << query;
        return Json::parse(reply.body);
    };
    EXPECT_EQ(keys("singer=Anh&song=50004"), (Json{{"usual", nullptr}, {"song", nullptr}}));
    queue(phoneA_, R"({"song":50004,"singer":"Ánh","key":3})");
    queue(phoneA_, R"({"song":50005,"singer":"ANH","key":-2})");
    EXPECT_EQ(keys("singer=anh&song=50004"), (Json{{"usual", nullptr}, {"song", nullptr}}));
    ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
    EXPECT_EQ(keys("singer=anh&song=50004"), (Json{{"usual", 3}, {"song", 3}}));
    ASSERT_EQ(call(tv_, "POST", "/api/controls", R"({"key":4})").status, 200);
    ASSERT_EQ(call(tv_, "POST", "/api/queue/next").status, 200);
    EXPECT_EQ(keys("singer=%C3%A1nh&song=50004"), (Json{{"usual", -2}, {"song", 4}}));
    EXPECT_EQ(keys("singer=%C3%81NH"), (Json{{"usual", -2}, {"song", nullptr}}));
    EXPECT_EQ(keys("singer=Lan&song=50004"), (Json{{"usual", nullptr}, {"song", nullptr}}));
    for (const std::string& bad : std::vector<std::string>{"song=50004", "singer=a%01b", "singer=an&song=x",
                                  "singer=" + std::string(41, 'a')}) {
        EXPECT_EQ(call(phoneA_, "GET", "/api/keys?" + bad).status, 400) << bad;
    }
}

// The search is the command line's: the same songs in the same order.
TEST_F(PartyApiTest, SearchMatchesTheCommandLine) {
    const test::TempDir folder;
    const std::string db = test::sampleDatabaseDir().string();
    for (const std::string words : {"trong com", "TRỐNG", "tr", "twinkle star", "o", "zzz"}) {
        const test::RunResult cli = test::runTool(folder.path(), {"search", words, "-C", db});
        std::vector<std::int32_t> expected;
        std::istringstream lines(cli.out);
        for (std::string line; std::getline(lines, line);) expected.push_back(std::stoi(line));
        std::string query;
        for (const char c : words) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            if (c == ' ') query += '+';
            else if (byte < 0x80) query += c;
            else query += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
        const ServeReply reply = call(phoneA_, "GET", "/api/search?q=" + query);
        ASSERT_EQ(reply.status, 200);
        std::vector<std::int32_t> found;
        const Json answer = Json::parse(reply.body);
        for (const Json& result : answer["results"]) found.push_back(result["song"]);
        EXPECT_EQ(found, expected) << words;
    }
    const Json number = Json::parse(call(phoneA_, "GET", "/api/search?q=50004&limit=1").body);
    EXPECT_EQ(number, (Json{{"results", {{{"song", 50004}, {"title", "TRỐNG CƠM"},
                                         {"second", "Dân ca Bắc Bộ"}}}}}));
    EXPECT_EQ(Json::parse(call(phoneA_, "GET", "/api/search?q=5000&limit=2").body)["results"].size(), 2U);
    for (const std::string& bad : std::vector<std::string>{"q=a&limit=0", "q=a&limit=101", "q=a&limit=x",
                                  "q=" + std::string(201, 'a')}) {
        EXPECT_EQ(call(phoneA_, "GET", "/api/search?" + bad).status, 400) << bad;
    }
    EXPECT_EQ(call(phoneA_, "GET", "/api/search?q=" + std::string(200, 'a')).status, 200);
}

TEST_F(PartyApiTest, EventsFollowEveryVersion) {
    std::optional<std::uint64_t> seen;
    const std::optional<std::string> first = api_->nextEvent(seen, 0ms);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->starts_with("event: state\nid: 0\ndata: {")) << *first;
    EXPECT_TRUE(first->ends_with("}\n\n"));
    EXPECT_EQ(api_->nextEvent(seen, 1ms), ": ping\n\n");
    // A burst of changes: each version in turn, none skipped.
    queue(tv_);
    queue(tv_);
    const std::optional<std::string> between = api_->nextEvent(seen, 1ms);
    ASSERT_TRUE(between);
    EXPECT_TRUE(between->starts_with("event: state\nid: 1\n")) << *between;
    EXPECT_EQ(between->find("\"id\":2"), std::string::npos);
    const std::optional<std::string> changed = api_->nextEvent(seen, 1ms);
    ASSERT_TRUE(changed);
    EXPECT_TRUE(changed->starts_with("event: state\nid: 2\n"));
    const std::string data = changed->substr(changed->find("data: ") + 6);
    EXPECT_EQ(Json::parse(data.substr(0, data.size() - 2)), state());
    api_->stopStreams();
    EXPECT_EQ(api_->nextEvent(seen, 10s), std::nullopt);
}

TEST(GuestAccess, HostHeaderNamesThisMachine) {
    const std::vector<std::string> own = {"192.168.1.20", "fe80::1"};
    const std::pair<const char*, bool> cases[] = {
        {"localhost:8080", true},      {"127.0.0.1", true},           {"[::1]:80", true},
        {"192.168.1.20:8080", true},   {"192.168.1.20", true},        {"[fe80::1]:8080", true},
        {"192.168.1.21:8080", false},  {"[192.168.1.20]", false},     {"fe80::1", false},
        {"evil.example", false},       {"192.168.1.20.nip.io", false}, {"", false},
    };
    for (const auto& [host, expected] : cases) {
        EXPECT_EQ(thisMachineHost(host, own), expected) << host;
        if (std::string_view(host).starts_with("192")) {
            EXPECT_FALSE(thisMachineHost(host, {})) << host;
        }
    }
    const std::pair<const char*, bool> peers[] = {
        {"127.0.0.1", true}, {"::1", true}, {"::ffff:127.0.0.1", true},
        {"127.0.0.2", false}, {"192.168.1.20", false}, {"", false},
    };
    for (const auto& [peer, expected] : peers) EXPECT_EQ(loopbackPeer(peer), expected) << peer;
    // One token, one id under one salt; another salt, another id.
    EXPECT_EQ(publicPhoneId(kTokenA, {1, 2}), publicPhoneId(kTokenA, {1, 2}));
    EXPECT_NE(publicPhoneId(kTokenA, {1, 2}), publicPhoneId(kTokenA, {1, 3}));
    EXPECT_EQ(publicPhoneId("", {1, 2}), std::string());
}

}  // namespace
}  // namespace kdb2mid
