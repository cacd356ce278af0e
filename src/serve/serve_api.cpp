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
#include "search/song_search.hpp"
#include "serve/action_requests.hpp"
#include "serve/join_code.hpp"
#include "serve/night_file.hpp"
#include "serve/request_target.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kGet = "GET, HEAD";
constexpr std::string_view kGetPost = "GET, HEAD, POST";
constexpr std::string_view kPost = "POST";
constexpr std::string_view kDelete = "DELETE";

std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

ServeReply failure(int status, std::string_view sentence) {
    Json object = Json::object();
    object["error"] = std::string(sentence);
    return {status, kJsonType, dump(object), nullptr, false, false, {}};
}

ServeReply json(int status, std::string body) {
    return {status, kJsonType, std::move(body), nullptr, false, false, {}};
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

// A whole number as an address or a query gives it (a song, a queue entry's
// id, a count): digits only, within what Number holds.
template <typename Number = std::int32_t>
std::optional<Number> wholeNumber(std::string_view text) {
    Number number = 0;
    if (text.empty() || text.size() > 20 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return number;
}

// The catalogue's entry of song, which lists every song with a record in
// song order; null when it has none.
const CatalogueEntry* listedSong(std::span<const CatalogueEntry> catalogue, std::int32_t song) {
    const auto found = std::lower_bound(
        catalogue.begin(), catalogue.end(), song,
        [](const CatalogueEntry& listed, std::int32_t number) { return listed.song < number; });
    return found != catalogue.end() && found->song == song ? &*found : nullptr;
}

const std::string* queryField(const std::vector<std::pair<std::string, std::string>>& query,
                              std::string_view name) {
    for (const auto& [field, value] : query) {
        if (field == name) return &value;
    }
    return nullptr;
}

Json optionalKey(std::optional<int> key) { return key ? Json(*key) : Json(nullptr); }

}  // namespace

ServeApi::ServeApi(const SongDatabase& database, std::vector<CatalogueEntry> catalogue,
                   std::span<const WebAsset> assets, ServeSetup setup)
    : database_(database),
      catalogue_(std::move(catalogue)),
      folded_(foldCatalogue(catalogue_)),
      assets_(assets),
      addresses_(std::move(setup.addresses)),
      joinUrl_(std::move(setup.joinUrl)),
      joinSvg_(qrCodeSvg(joinUrl_)),
      salt_(setup.salt),
      pins_(std::move(setup.pin)),
      night_(std::move(setup.night)) {}

ServeReply ServeApi::refusal(int status) {
    switch (status) {
        case 400: return failure(status, kMalformedRequest);
        case 404: return failure(status, kNothingHere);
        case 413: return failure(status, kBodyTooLarge);
        case 414: return failure(status, kTargetTooLong);
        case 429: return failure(status, kTooManyStreams);
        default: return failure(status, kServerFault);
    }
}

ServeReply ServeApi::answer(std::string_view method, std::string_view target,
                            std::string_view host, std::string_view body) {
    ApiRequest request;
    request.method = method;
    request.target = target;
    request.host = host;
    request.body = body;
    request.peer = "127.0.0.1";
    return answer(request);
}

ServeReply ServeApi::answer(const ApiRequest& request) {
    try {
        // Browsers always send Host; a tool that sends none is let through.
        if (!request.host.empty() && !thisMachineHost(request.host, addresses_)) {
            return failure(403, addresses_.empty() ? kWrongHost : kWrongHostNetwork);
        }
        if (!reads(request.method) && !request.origin.empty()) {
            constexpr std::string_view kScheme = "http://";
            const std::string_view origin = request.origin;
            if (!origin.starts_with(kScheme) ||
                !thisMachineHost(origin.substr(kScheme.size()), addresses_)) {
                return failure(403, kForeignPage);
            }
        }
        if (request.body.size() > kMaxBodyBytes) return refusal(413);
        bool host = loopbackPeer(request.peer);
        if (!request.pin.empty()) {
            const std::lock_guard lock(pinLock_);
            switch (pins_.check(request.pin, std::string(request.peer), request.now)) {
                case PinGuard::Verdict::blocked: return failure(429, kTooManyPins);
                case PinGuard::Verdict::right: host = true; break;
                case PinGuard::Verdict::wrong: break;
            }
        }
        return route(request, host, !request.pin.empty());
    } catch (const std::bad_alloc&) {
        return lastResort(kServerOutOfMemory);
    } catch (const std::exception&) {
        // Nothing below is known to throw anything else; whatever it is, one
        // request is not worth the server.
        return lastResort(kServerFault);
    }
}

// A page's file, the soundfont or the join address's QR code.
ServeReply ServeApi::page(std::string_view name, std::string_view method) const {
    const WebAsset* asset = findAsset(assets_, name);
    const bool soundFont = name == "soundfont";
    const bool joinCode = name == "join.svg";
    if (asset == nullptr && !soundFont && !joinCode) return failure(404, kNothingHere);
    if (!reads(method)) return wrongMethod(kGet);
    ServeReply reply;
    if (soundFont) {
        reply.soundFont = true;
        reply.contentType = "application/octet-stream";
    } else if (joinCode) {
        if (joinSvg_.empty()) return failure(404, kNoJoinAddress);
        reply.contentType = "image/svg+xml";
        reply.body = joinSvg_;
    } else {
        reply.asset = asset;
        reply.contentType = asset->contentType;
    }
    return reply;
}

ServeReply ServeApi::route(const ApiRequest& request, bool host, bool pinGiven) {
    const std::string_view method = request.method;
    TargetRefusal why = TargetRefusal::none;
    const std::optional<RequestTarget> parsed = parseTarget(request.target, why);
    if (!parsed) return refusal(why == TargetRefusal::tooLong ? 414 : 404);
    const std::vector<std::string>& path = parsed->segments;
    const std::optional<std::string> phone = publicPhoneId(request.phone, salt_);
    if (!phone) {
        return failure(400, phoneHeaderRefused(kMinPhoneTokenCharacters, kMaxPhoneTokenCharacters));
    }
    const auto hostOnly = [&] { return failure(403, pinGiven ? kWrongPin : kHostOnly); };

    if (path.size() <= 1) {
        return page(path.empty() ? std::string_view("index.html") : std::string_view(path[0]),
                    method);
    }
    if (path[0] != "api") return failure(404, kNothingHere);
    const std::string_view name = path[1];

    if (name == "songs" && (path.size() == 3 || (path.size() == 4 && path[3] == "karaoke"))) {
        const std::optional<std::int32_t> number = wholeNumber(path[2]);
        if (!number) return failure(404, kNothingHere);
        if (!reads(method)) return wrongMethod(kGet);
        return path.size() == 3 ? song(*number) : karaoke(*number);
    }
    if (name == "queue" && path.size() == 2) {
        if (reads(method)) return queue();
        if (method == "POST") return addToQueue(request.body, *phone);
        return wrongMethod(kGetPost);
    }
    if (name == "queue" && path.size() == 3 && (path[2] == "next" || path[2] == "move")) {
        if (method != "POST") return wrongMethod(kPost);
        if (!host) return hostOnly();
        return path[2] == "next" ? nextInQueue(request.body) : moveInQueue(request.body);
    }
    if (name == "queue" && path.size() == 3) {
        const std::optional<std::uint64_t> id = wholeNumber<std::uint64_t>(path[2]);
        if (!id) return failure(404, kNothingHere);
        if (method != "DELETE") return wrongMethod(kDelete);
        return removeFromQueue(*id, *phone, host);
    }
    if (path.size() != 2) return failure(404, kNothingHere);
    if (name == "controls") {
        if (method != "POST") return wrongMethod(kPost);
        if (!host) return hostOnly();
        return setControls(request.body);
    }
    static constexpr std::string_view kReadOnly[] = {"events", "search", "keys", "me", "pin",
                                                     "join"};
    if (std::find(std::begin(kReadOnly), std::end(kReadOnly), name) == std::end(kReadOnly)) {
        return failure(404, kNothingHere);
    }
    if (!reads(method)) return wrongMethod(kGet);
    if (name == "events") {
        ServeReply reply;
        reply.events = true;
        reply.contentType = kEventsType;
        return reply;
    }
    if (name == "search") return search(parsed->query);
    if (name == "keys") return keys(parsed->query);
    if (name == "me") return json(200, dump(Json{{"phone", *phone}, {"host", host}}));
    if (name == "pin") {
        if (!loopbackPeer(request.peer)) return failure(403, kPinOnThisMachine);
        return json(200, dump(Json{{"pin", pins_.pin()}}));
    }
    return json(200, dump(Json{{"url", joinUrl_.empty() ? Json(nullptr) : Json(joinUrl_)}}));
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

const std::string& ServeApi::stateJson() {
    if (stateVersion_ != night_.version) {
        stateJson_ = nightJson(night_);
        stateVersion_ = night_.version;
    }
    return stateJson_;
}

ServeReply ServeApi::queue() {
    const std::lock_guard lock(nightLock_);
    return json(200, stateJson());
}

void ServeApi::announce() {
    recent_.emplace_back(night_.version, stateJson());
    if (recent_.size() > kRecentStates) recent_.pop_front();
    nightChanged_.notify_all();
}

ServeReply ServeApi::changed(NightChange change) {
    switch (change) {
        case NightChange::done:
            announce();
            [[fallthrough]];
        case NightChange::unchanged: return json(200, stateJson());
        case NightChange::queueFull: return failure(409, kQueueFull);
        case NightChange::phoneFull: return failure(429, phoneQueueFull(kMaxEntriesPerPhone));
        case NightChange::noSuchEntry: return failure(404, kNoSuchEntry);
        case NightChange::notYours: return failure(403, kNotYourEntry);
        case NightChange::nothingPlaying: return failure(409, kNothingPlaying);
    }
    return failure(500, kServerFault);
}

ServeReply ServeApi::addToQueue(std::string_view body, const std::string& phone) {
    QueueRequest request = readQueueRequest(body);
    if (!request.error.empty()) return failure(400, request.error);
    // The song must have a record: its name comes from the catalogue, which
    // lists every song that has one.
    if (const RecordLookup where = database_.locate(request.song);
        where.outcome != RecordLookup::Outcome::found) {
        return failure(404, cannotConvert(request.song, describe(where.outcome)));
    }
    const CatalogueEntry* listed = listedSong(catalogue_, request.song);
    std::string title = listed != nullptr ? listed->name : std::string();
    const std::lock_guard lock(nightLock_);
    QueueEntry added;
    const NightChange change = night_.add(request.song, std::move(title), std::move(request.singer),
                                          request.key, phone, added);
    if (change != NightChange::done) return changed(change);
    announce();
    return json(201, "{\"entry\":" + entryJson(added) + "}");
}

ServeReply ServeApi::removeFromQueue(std::uint64_t id, const std::string& phone, bool host) {
    const std::lock_guard lock(nightLock_);
    return changed(night_.remove(id, phone, host));
}

ServeReply ServeApi::moveInQueue(std::string_view body) {
    const MoveRequest request = readMoveRequest(body);
    if (!request.error.empty()) return failure(400, request.error);
    const std::lock_guard lock(nightLock_);
    return changed(night_.move(request.id, request.to));
}

ServeReply ServeApi::nextInQueue(std::string_view body) {
    const NextRequest request = readNextRequest(body);
    if (!request.error.empty()) return failure(400, request.error);
    const std::lock_guard lock(nightLock_);
    return changed(night_.next(request.after));
}

ServeReply ServeApi::setControls(std::string_view body) {
    const ControlsRequest request = readControlsRequest(body);
    if (!request.error.empty()) return failure(400, request.error);
    const std::lock_guard lock(nightLock_);
    return changed(night_.setControls(request.change));
}

ServeReply ServeApi::search(const std::vector<std::pair<std::string, std::string>>& query) const {
    const std::string* text = queryField(query, "q");
    const std::string* limitText = queryField(query, "limit");
    if (text != nullptr && text->size() > kMaxSearchQueryBytes) {
        return failure(400, searchQueryTooLong(kMaxSearchQueryBytes));
    }
    std::size_t limit = kDefaultSearchResults;
    if (limitText != nullptr) {
        const std::optional<std::int32_t> number = wholeNumber(*limitText);
        if (!number || *number < 1 || static_cast<std::size_t>(*number) > kMaxSearchResults) {
            return failure(400, searchLimitRefused(kMaxSearchResults));
        }
        limit = static_cast<std::size_t>(*number);
    }
    Json results = Json::array();
    const auto add = [&](const CatalogueEntry& entry) {
        results.push_back(Json{{"song", entry.song},
                               {"title", entry.name},
                               {"second", entry.titles.size() > 1 ? entry.titles[1] : ""}});
    };
    const std::string typed = text == nullptr ? std::string() : *text;
    const std::vector<std::string> words = searchQuery(std::span(&typed, 1));
    // A song number typed whole comes first; the songs whose numbers it
    // starts follow the word matches.
    const std::optional<std::int32_t> number =
        words.size() == 1 ? wholeNumber(words[0]) : std::nullopt;
    std::optional<std::size_t> exact;
    if (number) {
        if (const CatalogueEntry* found = listedSong(catalogue_, *number)) {
            exact = static_cast<std::size_t>(found - catalogue_.data());
            add(*found);
        }
    }
    for (const SearchMatch& match : searchFolded(folded_, catalogue_, words, limit)) {
        if (results.size() >= limit) break;
        if (match.entry != exact) add(catalogue_[match.entry]);
    }
    if (number) {
        for (std::size_t i = 0; i < catalogue_.size() && results.size() < limit; ++i) {
            if (i != exact && std::to_string(catalogue_[i].song).starts_with(words[0]) &&
                !matchWords(folded_[i], words)) {
                add(catalogue_[i]);
            }
        }
    }
    return json(200, dump(Json{{"results", std::move(results)}}));
}

ServeReply ServeApi::keys(const std::vector<std::pair<std::string, std::string>>& query) const {
    const std::string* singer = queryField(query, "singer");
    const std::string* songText = queryField(query, "song");
    if (singer == nullptr || !acceptableSinger(*singer)) return failure(400, kSingerQuery);
    std::optional<std::int32_t> song;
    if (songText != nullptr) {
        song = wholeNumber(*songText);
        if (!song) return failure(400, kSongQuery);
    }
    const std::lock_guard lock(nightLock_);
    return json(200, dump(Json{{"usual", optionalKey(night_.usualKey(*singer))},
                               {"song", optionalKey(song ? night_.songKey(*singer, *song)
                                                         : std::nullopt)}}));
}

std::optional<std::string> ServeApi::nextEvent(std::optional<std::uint64_t>& seen,
                                               std::chrono::milliseconds wait) {
    std::unique_lock lock(nightLock_);
    if (seen) {
        nightChanged_.wait_for(lock, wait,
                               [&] { return stopping_ || night_.version != *seen; });
    }
    if (stopping_) return std::nullopt;
    if (seen == night_.version) return std::string(": ping\n\n");
    const std::string* data = nullptr;
    if (seen) {
        for (const auto& [version, json] : recent_) {
            if (version == *seen + 1) {
                seen = version;
                data = &json;
                break;
            }
        }
    }
    if (data == nullptr) {
        seen = night_.version;
        data = &stateJson();
    }
    return "event: state\nid: " + std::to_string(*seen) + "\ndata: " + *data + "\n\n";
}

void ServeApi::stopStreams() {
    {
        const std::lock_guard lock(nightLock_);
        stopping_ = true;
    }
    nightChanged_.notify_all();
}

std::optional<std::uint64_t> ServeApi::waitForChange(std::uint64_t written,
                                                     std::chrono::milliseconds wait) {
    std::unique_lock lock(nightLock_);
    nightChanged_.wait_for(lock, wait, [&] { return stopping_ || night_.version != written; });
    if (stopping_) return std::nullopt;
    return night_.version;
}

std::string ServeApi::nightFile(std::uint64_t& version) const {
    const std::lock_guard lock(nightLock_);
    version = night_.version;
    return nightFileText(night_);
}

const WebAsset* findAsset(std::span<const WebAsset> assets, std::string_view name) noexcept {
    for (const WebAsset& asset : assets) {
        if (asset.name == name) return &asset;
    }
    return nullptr;
}

}  // namespace kdb2mid
