#include "serve/serve_api.hpp"

#include <algorithm>
#include <charconv>
#include <new>

#include <nlohmann/json.hpp>

#include "inspect/song_facts.hpp"
#include "inspect/song_json.hpp"
#include "messages/messages.hpp"
#include "messages/serve_messages.hpp"
#include "serve/karaoke_song.hpp"
#include "serve/request_target.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kGet = "GET, HEAD";
constexpr std::string_view kGetPost = "GET, HEAD, POST";
constexpr std::string_view kPost = "POST";

std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

ServeReply failure(int status, std::string_view sentence) {
    Json object = Json::object();
    object["error"] = std::string(sentence);
    return {status, kJsonType, dump(object), nullptr, false, {}};
}

ServeReply json(int status, std::string body) {
    return {status, kJsonType, std::move(body), nullptr, false, {}};
}

// A 500 with its sentence, or without one when even that cannot be made.
ServeReply lastResort(std::string_view sentence) noexcept {
    try {
        return failure(500, sentence);
    } catch (...) {
        ServeReply reply;
        reply.status = 500;
        return reply;
    }
}

ServeReply wrongMethod(std::string_view allowed) {
    ServeReply reply = failure(405, methodNotAllowed(allowed));
    reply.allow = allowed;
    return reply;
}

bool reads(std::string_view method) { return method == "GET" || method == "HEAD"; }

// A song number as the address gives it: digits only, within the numbers a
// song can have.
std::optional<std::int32_t> songNumber(std::string_view text) {
    std::int32_t number = 0;
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return number;
}

Json entryJson(const QueueEntry& entry) {
    Json object = Json::object();
    object["id"] = entry.id;
    object["song"] = entry.song;
    object["title"] = entry.title;
    object["singer"] = entry.singer;
    object["key"] = entry.key;
    return object;
}

}  // namespace

bool loopbackHost(std::string_view host) noexcept {
    std::string_view name = host;
    if (name.starts_with('[')) {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view rest = name.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return false;
        name = name.substr(0, close + 1);
    } else if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        name = name.substr(0, colon);
    }
    const auto lower = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return (x >= 'A' && x <= 'Z' ? x + 32 : x) == y;
               });
    };
    return lower(name, "localhost") || name == "127.0.0.1" || name == "[::1]";
}

ServeApi::ServeApi(const SongDatabase& database, std::vector<CatalogueEntry> catalogue,
                   std::span<const WebAsset> assets)
    : database_(database), catalogue_(std::move(catalogue)), assets_(assets) {}

ServeReply ServeApi::refusal(int status) {
    switch (status) {
        case 400: return failure(status, kMalformedRequest);
        case 404: return failure(status, kNothingHere);
        case 413: return failure(status, kBodyTooLarge);
        case 414: return failure(status, kTargetTooLong);
        default: return failure(status, kServerFault);
    }
}

ServeReply ServeApi::answer(std::string_view method, std::string_view target,
                            std::string_view host, std::string_view body) {
    try {
        // Browsers always send Host; a tool that sends none is let through.
        if (!host.empty() && !loopbackHost(host)) return failure(403, kWrongHost);
        if (body.size() > kMaxBodyBytes) return refusal(413);
        return route(method, target, body);
    } catch (const std::bad_alloc&) {
        return lastResort(kServerOutOfMemory);
    } catch (const std::exception&) {
        // Nothing below is known to throw anything else; whatever it is, one
        // request is not worth the server.
        return lastResort(kServerFault);
    }
}

ServeReply ServeApi::route(std::string_view method, std::string_view target,
                           std::string_view body) {
    TargetRefusal why = TargetRefusal::none;
    const std::optional<RequestTarget> parsed = parseTarget(target, why);
    if (!parsed) return refusal(why == TargetRefusal::tooLong ? 414 : 404);
    const std::vector<std::string>& path = parsed->segments;

    if (path.size() <= 1) {
        const WebAsset* asset = findAsset(assets_, path.empty() ? "index.html" : path[0]);
        const bool soundFont = path.size() == 1 && path[0] == "soundfont";
        if (asset == nullptr && !soundFont) return failure(404, kNothingHere);
        if (!reads(method)) return wrongMethod(kGet);
        ServeReply reply;
        if (soundFont) {
            reply.soundFont = true;
            reply.contentType = "application/octet-stream";
        } else {
            reply.asset = asset;
            reply.contentType = asset->contentType;
        }
        return reply;
    }
    if (path[0] != "api") return failure(404, kNothingHere);

    if (path[1] == "songs" && (path.size() == 3 || (path.size() == 4 && path[3] == "karaoke"))) {
        const std::optional<std::int32_t> number = songNumber(path[2]);
        if (!number) return failure(404, kNothingHere);
        if (!reads(method)) return wrongMethod(kGet);
        return path.size() == 3 ? song(*number) : karaoke(*number);
    }
    if (path[1] == "queue" && path.size() == 2) {
        if (reads(method)) return queue();
        if (method == "POST") return addToQueue(body);
        return wrongMethod(kGetPost);
    }
    if (path[1] == "queue" && path.size() == 3 && path[2] == "next") {
        if (method == "POST") return nextInQueue();
        return wrongMethod(kPost);
    }
    return failure(404, kNothingHere);
}

ServeReply ServeApi::song(std::int32_t number) const {
    if (const RecordLookup where = database_.locate(number);
        where.outcome != RecordLookup::Outcome::found) {
        return failure(404, cannotReadSong(number, describe(where.outcome)));
    }
    SongFacts facts;
    if (const std::string why = readSongFacts(database_, number, facts); !why.empty()) {
        return failure(422, cannotReadSong(number, why));
    }
    return json(200, infoJson(facts));
}

ServeReply ServeApi::karaoke(std::int32_t number) const {
    const RecordLookup where = database_.locate(number);
    if (where.outcome != RecordLookup::Outcome::found) {
        return failure(404, cannotConvert(number, describe(where.outcome)));
    }
    std::vector<std::uint8_t> record;
    if (!database_.readRecord(where, record)) {
        return failure(500, cannotConvert(number, couldNotRead(kSongDataFile)));
    }
    DecodedSong work;
    KaraokeSong made;
    if (const RecordError error = makeKaraokeSong(number, record, work, made);
        error != RecordError::none) {
        return failure(422, cannotConvert(number, describe(error)));
    }
    return json(200, karaokeJson(made));
}

ServeReply ServeApi::queue() const {
    const std::lock_guard lock(queueLock_);
    return json(200, queueJson());
}

std::string ServeApi::queueJson() const {
    Json object = Json::object();
    object["playing"] = queue_.playing() ? entryJson(*queue_.playing()) : Json(nullptr);
    Json entries = Json::array();
    for (const QueueEntry& entry : queue_.entries()) entries.push_back(entryJson(entry));
    object["entries"] = std::move(entries);
    return dump(object);
}

ServeReply ServeApi::addToQueue(std::string_view body) {
    QueueRequest request = readQueueRequest(body);
    if (!request.error.empty()) return failure(400, request.error);
    // The song must have a record: its name comes from the catalogue, which
    // lists every song that has one.
    if (const RecordLookup where = database_.locate(request.song);
        where.outcome != RecordLookup::Outcome::found) {
        return failure(404, cannotConvert(request.song, describe(where.outcome)));
    }
    const auto entry = std::lower_bound(
        catalogue_.begin(), catalogue_.end(), request.song,
        [](const CatalogueEntry& listed, std::int32_t song) { return listed.song < song; });
    std::string title;
    if (entry != catalogue_.end() && entry->song == request.song) title = entry->name;
    const std::lock_guard lock(queueLock_);
    const std::optional<QueueEntry> added =
        queue_.add(request.song, std::move(title), std::move(request.singer), request.key);
    if (!added) return failure(409, kQueueFull);
    Json object = Json::object();
    object["entry"] = entryJson(*added);
    return json(201, dump(object));
}

ServeReply ServeApi::nextInQueue() {
    const std::lock_guard lock(queueLock_);
    queue_.next();
    return json(200, queueJson());
}

const WebAsset* findAsset(std::span<const WebAsset> assets, std::string_view name) noexcept {
    for (const WebAsset& asset : assets) {
        if (asset.name == name) return &asset;
    }
    return nullptr;
}

}  // namespace kdb2mid
