// Proves that the server's router answers any request with a status it
// knows and a body the browser can read: for a refusal a JSON object holding
// one "error" sentence, for a page only the page the decoded path names and
// only to GET or HEAD; that 405 lists the methods allowed; and that a target
// the parser accepts decodes to segments with no control character, no "."
// or ".." and no "/" or "\", no longer than the target itself.
//
// Input: a method byte (GET, HEAD, POST, PUT, DELETE or OPTIONS, from this
// machine or from a phone), then the
// target up to the first line end, the Host header up to the next, and the
// rest as the body. The songs are the sample database's, written to a
// temporary folder once per process.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "fuzz_targets.hpp"
#include "generator/database_writer.hpp"
#include "generator/sample_songs.hpp"
#include "search/catalogue.hpp"
#include "serve/request_target.hpp"
#include "serve/serve_api.hpp"

namespace kdb2mid::fuzz {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMethods[] = {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS"};
constexpr int kStatuses[] = {200, 201, 400, 403, 404, 405, 409, 413, 414, 422, 429};

const std::uint8_t kPage[] = {'x'};
const WebAsset kAssets[] = {
    {"index.html", "text/html; charset=utf-8", kPage},
    {"tv.js", "text/javascript; charset=utf-8", kPage},
};

struct Server {
    fs::path folder;
    SongDatabase database;
    std::unique_ptr<ServeApi> api;

    Server()
        : folder(fs::temp_directory_path() /
                 ("kdb2mid-fuzz-serve-" + std::to_string(::getpid()))) {
        sample::writeDatabase(sample::buildSampleDatabase(), folder);
        require(database.open(folder) == SongDatabase::OpenError::none, "sample database opens");
        api = std::make_unique<ServeApi>(database, buildCatalogue(database, 1), kAssets);
    }
    ~Server() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Server& server() {
    static Server instance;
    return instance;
}

std::string_view line(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view taken = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    return taken;
}

void checkTarget(std::string_view target) {
    TargetRefusal why = TargetRefusal::none;
    const std::optional<RequestTarget> parsed = parseTarget(target, why);
    require(parsed.has_value() == (why == TargetRefusal::none), "refusal and result disagree");
    if (!parsed) return;
    std::size_t bytes = 0;
    for (const std::string& segment : parsed->segments) {
        require(!segment.empty() && segment != "." && segment != "..", "dot or empty segment");
        require(std::none_of(segment.begin(), segment.end(),
                             [](char c) {
                                 const auto byte = static_cast<unsigned char>(c);
                                 return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
                             }),
                "control character or separator in a segment");
        bytes += segment.size();
    }
    for (const auto& [name, value] : parsed->query) bytes += name.size() + value.size();
    require(bytes <= target.size(), "decoded target longer than the target");
}

}  // namespace

void fuzzServeRouter(Input input) {
    if (input.empty()) return;
    const std::string_view method = kMethods[input[0] % std::size(kMethods)];
    std::string_view rest(reinterpret_cast<const char*>(input.data() + 1), input.size() - 1);
    const std::string_view target = line(rest);
    const std::string_view host = line(rest);
    checkTarget(target);

    // Methods past the sixth come from a phone, not from this machine's screen.
    ApiRequest request;
    request.method = method;
    request.target = target;
    request.host = host;
    request.body = rest;
    request.peer = input[0] % (2 * std::size(kMethods)) < std::size(kMethods) ? "127.0.0.1"
                                                                              : "127.0.0.2";
    const ServeReply reply = server().api->answer(request);
    require(std::find(std::begin(kStatuses), std::end(kStatuses), reply.status) !=
                std::end(kStatuses),
            "unexpected status");
    require((reply.status == 405) == !reply.allow.empty(), "405 without its Allow, or the reverse");
    if (reply.events) {
        require(method == "GET" || method == "HEAD", "a stream answered to a method that sends");
        require(reply.status == 200 && reply.body.empty(), "a stream with a status or body");
        return;
    }
    if (reply.contentType == "image/svg+xml") {
        require(reply.status == 200 && reply.body.starts_with("<svg"), "a join code not SVG");
        return;
    }
    if (reply.asset != nullptr || reply.soundFont) {
        require(method == "GET" || method == "HEAD", "a page answered to a method that sends");
        require(reply.status == 200 && reply.body.empty(), "a page with a status or body");
        const std::string_view path = target.substr(0, target.find('?'));
        if (reply.asset != nullptr) {
            const std::optional<std::string> decoded = percentDecode(path, false);
            const std::string_view named =
                decoded && decoded->starts_with('/') ? std::string_view(*decoded).substr(1) : "?";
            require(named == reply.asset->name ||
                        (named.empty() && reply.asset->name == "index.html"),
                    "a page the path does not name");
        }
        return;
    }
    const nlohmann::json body = nlohmann::json::parse(reply.body, nullptr, false);
    require(body.is_object(), "answer is not a JSON object");
    if (reply.status >= 400) {
        require(body.size() == 1 && body.contains("error") && body["error"].is_string() &&
                    !body["error"].get_ref<const std::string&>().empty(),
                "a refusal without its one sentence");
    }
}

}  // namespace kdb2mid::fuzz
