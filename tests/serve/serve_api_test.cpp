#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "io/song_database.hpp"
#include "search/catalogue.hpp"
#include "serve/night_state.hpp"
#include "serve/request_target.hpp"
#include "serve/serve_api.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using Json = nlohmann::json;

const std::uint8_t kPage[] = {'<', 'p', '>'};
const WebAsset kAssets[] = {
    {"index.html", "text/html; charset=utf-8", kPage},
    {"synth-worklet.js", "text/javascript; charset=utf-8", kPage},
    {"tv.js", "text/javascript; charset=utf-8", kPage},
};

class ServeApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(database_.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
        api_ = std::make_unique<ServeApi>(database_, buildCatalogue(database_, 1), kAssets);
    }
    ServeReply get(const std::string& target, const std::string& host = "127.0.0.1:8080") {
        return api_->answer("GET", target, host, "");
    }
    ServeReply post(const std::string& target, const std::string& body) {
        return api_->answer("POST", target, "localhost:8080", body);
    }
    // The sentence of an error reply; fails the test unless the body is {"error": "..."}.
    static std::string sentence(const ServeReply& reply) {
        const Json body = Json::parse(reply.body);
        EXPECT_EQ(body.size(), 1U) << reply.body;
        return body.value("error", std::string("(no error)"));
    }

    SongDatabase database_;
    std::unique_ptr<ServeApi> api_;
};

// No target reaches anything but the fixed names: escapes, "..", NUL,
// absolute forms and overlong paths all end in a refusal.
TEST_F(ServeApiTest, RoutesOnlyFixedNames) {
    const std::string longPath = "/" + std::string(kMaxTargetBytes, 'a');
    struct Case {
        std::string method;
        std::string target;
        int status;
        const char* served;  // the asset's name, "soundfont", or "" for JSON
    };
    const Case cases[] = {
        {"GET", "/", 200, "index.html"},
        {"HEAD", "/tv.js", 200, "tv.js"},
        {"GET", "/synth-worklet.js", 200, "synth-worklet.js"},  // a name longer than a short string
        {"GET", "/tv.js?v=2&x", 200, "tv.js"},
        {"GET", "/%74v.js", 200, "tv.js"},
        {"GET", "/soundfont", 200, "soundfont"},
        {"GET", "/api/queue", 200, ""},
        {"GET", "/missing.js", 404, ""},
        {"GET", "/../etc/passwd", 404, ""},
        {"GET", "/%2e%2e/%2e%2e/etc/passwd", 404, ""},
        {"GET", "/%2E%2E%2Fetc%2Fpasswd", 404, ""},
        {"GET", "/..%5c..%5cwin.ini", 404, ""},
        {"GET", "/etc/passwd", 404, ""},
        {"GET", "//etc/passwd", 404, ""},
        {"GET", "/./tv.js", 404, ""},
        {"GET", "/tv.js/", 404, ""},
        {"GET", "/tv.js%00.html", 404, ""},
        {"GET", std::string("/tv.js\0", 7), 404, ""},
        {"GET", "/%", 404, ""},
        {"GET", "/%zz", 404, ""},
        {"GET", "http://localhost/tv.js", 404, ""},
        {"GET", "*", 404, ""},
        {"GET", "", 404, ""},
        {"GET", "/tv.js#top", 404, ""},
        {"GET", "/TV.JS", 404, ""},
        {"GET", longPath, 414, ""},
        {"GET", "/api/songs/abc", 404, ""},
        {"GET", "/api/songs/-50004", 404, ""},
        {"GET", "/api/songs/99999999999", 404, ""},
        {"GET", "/api/songs/50004/lyrics", 404, ""},
        {"GET", "/api/queue/last", 404, ""},
        {"GET", "/api", 404, ""},
        {"POST", "/", 405, ""},
        {"POST", "/soundfont", 405, ""},
        {"PUT", "/api/songs/50004", 405, ""},
        {"DELETE", "/api/queue", 405, ""},
        {"GET", "/api/queue/next", 405, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.target);
        const ServeReply reply = api_->answer(c.method, c.target, "localhost", "");
        EXPECT_EQ(reply.status, c.status);
        const std::string served = reply.soundFont ? "soundfont"
                                   : reply.asset   ? std::string(reply.asset->name)
                                                   : "";
        EXPECT_EQ(served, c.served);
        if (c.status >= 400) {
            EXPECT_EQ(reply.contentType, kJsonType);
            EXPECT_FALSE(sentence(reply).empty());
            EXPECT_EQ(reply.allow.empty(), c.status != 405);
        }
    }
}

// A page elsewhere may point a name of its own at 127.0.0.1 and make the
// browser call the server; its Host header gives it away.
TEST_F(ServeApiTest, AnswersOnlyLoopbackHosts) {
    const std::pair<const char*, int> cases[] = {
        {"localhost:8080", 200}, {"LocalHost", 200},         {"127.0.0.1", 200},
        {"[::1]:9000", 200},     {"", 200},                  {"evil.example:8080", 403},
        {"localhost.evil.example", 403}, {"127.0.0.1.nip.io", 403}, {"[::1]x", 403},
        {"[::1", 403},
    };
    for (const auto& [host, status] : cases) {
        EXPECT_EQ(get("/api/queue", host).status, status) << host;
    }
}

// The song's JSON is the command line's, word for word, and so are the
// sentences for a song that is not there.
TEST_F(ServeApiTest, SongAnswersAsInfoJson) {
    const test::TempDir folder;
    const std::string db = test::sampleDatabaseDir().string();
    const test::RunResult info =
        test::runTool(folder.path(), {"info", "50004", "-C", db, "--json"});
    ASSERT_EQ(info.exitCode, 0);
    const ServeReply song = get("/api/songs/50004");
    EXPECT_EQ(song.status, 200);
    EXPECT_EQ(song.body + "\n", info.out);

    for (const std::string number : {"99999", "21089"}) {
        const test::RunResult missing = test::runTool(folder.path(), {"info", number, "-C", db});
        const ServeReply reply = get("/api/songs/" + number);
        EXPECT_EQ(reply.status, 404);
        EXPECT_NE(missing.err.find(sentence(reply)), std::string::npos) << missing.err;
        EXPECT_EQ(get("/api/songs/" + number + "/karaoke").status, 404);
    }
}

TEST_F(ServeApiTest, RefusesMalformedQueueRequests) {
    const std::string singer40 = [] {
        std::string name;
        for (int i = 0; i < 40; ++i) name += "\xE1\xBB\x91";  // "ố", three bytes
        return name;
    }();
    struct Case {
        std::string body;
        int status;
        const char* field;  // named in the sentence
    };
    const Case cases[] = {
        {"", 400, "JSON"},
        {"[50004]", 400, "JSON"},
        {"{\"song\":50004", 400, "JSON"},
        {"{\"song\":\"\xFF\"}", 400, "JSON"},
        {"{}", 400, "\"song\""},
        {"{\"song\":\"50004\"}", 400, "\"song\""},
        {"{\"song\":50004.5}", 400, "\"song\""},
        {"{\"song\":-50004}", 400, "\"song\""},
        {"{\"song\":1e30}", 400, "\"song\""},
        {"{\"song\":50004,\"key\":13}", 400, "\"key\""},
        {"{\"song\":50004,\"key\":-13}", 400, "\"key\""},
        {"{\"song\":50004,\"key\":1.5}", 400, "\"key\""},
        {"{\"song\":50004,\"key\":\"2\"}", 400, "\"key\""},
        {"{\"song\":50004,\"singer\":7}", 400, "\"singer\""},
        {"{\"song\":50004,\"singer\":\"" + singer40 + "x\"}", 400, "\"singer\""},
        {"{\"song\":50004,\"singer\":\"a\\u0000b\"}", 400, "\"singer\""},
        {"{\"song\":50004,\"singer\":\"a\\u009bb\"}", 400, "\"singer\""},
        {"{\"song\":99999}", 404, "99999"},
        {"{\"song\":21089}", 404, "21089"},
        {std::string(kMaxBodyBytes + 1, ' '), 413, "16 KB"},
        {"{\"song\":50004,\"singer\":\"" + singer40 + "\",\"key\":-12}", 201, nullptr},
        {"{\"song\":50005,\"singer\":null,\"key\":null,\"extra\":[1]}", 201, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 80));
        const ServeReply reply = post("/api/queue", c.body);
        EXPECT_EQ(reply.status, c.status);
        if (c.field != nullptr) {
            EXPECT_NE(sentence(reply).find(c.field), std::string::npos);
        }
    }
}

TEST_F(ServeApiTest, QueuePlaysInOrder) {
    const auto entry = [](std::uint64_t id, std::int32_t song, const char* title,
                          const char* singer, int key) {
        return Json{{"id", id},         {"song", song}, {"title", title},
                    {"singer", singer}, {"key", key},   {"phone", ""}};
    };
    const auto state = [](int version, const Json& playing, const Json& entries, int key,
                          const Json& history) {
        return Json{{"version", version},
                    {"playing", playing},
                    {"entries", entries},
                    {"controls", {{"paused", false}, {"key", key}, {"tempo", 100}, {"guide", "normal"}}},
                    {"history", history}};
    };
    const auto sung = [](const Json& played) {
        return Json{{"song", played["song"]}, {"title", played["title"]},
                    {"singer", played["singer"]}, {"key", played["key"]}};
    };
    EXPECT_EQ(Json::parse(get("/api/queue").body),
              state(0, nullptr, Json::array(), 0, Json::array()));
    const ServeReply added = post("/api/queue", R"({"song":50004,"singer":"An","key":2})");
    EXPECT_EQ(added.status, 201);
    const Json first = entry(1, 50004, "TRỐNG CƠM", "An", 2);
    const Json second = entry(2, 50005, "BÈO DẠT MÂY TRÔI", "", 0);
    EXPECT_EQ(Json::parse(added.body), (Json{{"entry", first}}));
    EXPECT_EQ(post("/api/queue", R"({"song":50005})").status, 201);

    EXPECT_EQ(Json::parse(get("/api/queue").body),
              state(2, nullptr, {first, second}, 0, Json::array()));
    const std::vector<Json> afterNext = {
        state(3, first, Json::array({second}), 2, Json::array({sung(first)})),
        state(4, second, Json::array(), 0, {sung(second), sung(first)}),
        state(5, nullptr, Json::array(), 0, {sung(second), sung(first)}),
        state(5, nullptr, Json::array(), 0, {sung(second), sung(first)}),
    };
    for (const Json& expected : afterNext) {
        const ServeReply next = post("/api/queue/next", "");
        EXPECT_EQ(next.status, 200);
        EXPECT_EQ(Json::parse(next.body), expected);
    }
}

}  // namespace
}  // namespace kdb2mid
