#include "serve/action_requests.hpp"

#include <limits>

#include <nlohmann/json.hpp>

#include "messages/serve_messages.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::json;

// Far above any id a night reaches, and exact in a JavaScript number.
constexpr std::int64_t kMaxId = (std::int64_t{1} << 53) - 1;

// A whole JSON number within [low, high]; 2.0 and "2" are not whole numbers.
std::optional<std::int64_t> wholeNumber(const Json& value, std::int64_t low, std::int64_t high) {
    std::int64_t number = 0;
    if (value.is_number_integer()) {
        number = value.get<std::int64_t>();
    } else if (value.is_number_unsigned()) {
        const auto unsignedNumber = value.get<std::uint64_t>();
        if (unsignedNumber > static_cast<std::uint64_t>(high)) return std::nullopt;
        number = static_cast<std::int64_t>(unsignedNumber);
    } else {
        return std::nullopt;
    }
    if (number < low || number > high) return std::nullopt;
    return number;
}

// The body as a JSON object; parsed without exceptions, so a malformed
// body is a value, not a throw.
std::optional<Json> bodyObject(std::string_view body, std::string& error) {
    Json object = Json::parse(body, nullptr, false);
    if (!object.is_object()) {
        error = kBodyNotObject;
        return std::nullopt;
    }
    return object;
}

// A field that may be left out or null.
const Json* optionalField(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

// Reads field name of object into value: a whole number low..high. False,
// with sentence as error, when it is something else, or missing and required.
bool readWhole(const Json& object, const char* name, std::int64_t low, std::int64_t high,
               bool required, std::string sentence, std::optional<std::int64_t>& value,
               std::string& error) {
    const Json* field = optionalField(object, name);
    value = field == nullptr ? std::nullopt : wholeNumber(*field, low, high);
    if (value || (field == nullptr && !required)) return true;
    error = std::move(sentence);
    return false;
}

}  // namespace

QueueRequest readQueueRequest(std::string_view body) {
    QueueRequest request;
    const std::optional<Json> object = bodyObject(body, request.error);
    std::optional<std::int64_t> song;
    std::optional<std::int64_t> key;
    if (!object ||
        !readWhole(*object, "song", 1, std::numeric_limits<std::int32_t>::max(), true,
                   kQueueSongField, song, request.error)) {
        return request;
    }
    request.song = static_cast<std::int32_t>(*song);
    if (const Json* singer = optionalField(*object, "singer")) {
        if (!singer->is_string() || !acceptableSinger(singer->get_ref<const std::string&>())) {
            request.error = singerFieldRefused(kMaxSingerCharacters);
            return request;
        }
        request.singer = singer->get<std::string>();
    }
    if (readWhole(*object, "key", kMinTranspose, kMaxTranspose, false,
                  keyFieldRefused(kMinTranspose, kMaxTranspose), key, request.error)) {
        request.key = static_cast<int>(key.value_or(0));
    }
    return request;
}

MoveRequest readMoveRequest(std::string_view body) {
    MoveRequest request;
    const std::optional<Json> object = bodyObject(body, request.error);
    std::optional<std::int64_t> id;
    std::optional<std::int64_t> to;
    if (object && readWhole(*object, "id", 1, kMaxId, true, kEntryIdField, id, request.error) &&
        readWhole(*object, "to", 0, kMaxId, true, kMoveToField, to, request.error)) {
        request.id = static_cast<std::uint64_t>(*id);
        request.to = static_cast<std::size_t>(*to);
    }
    return request;
}

NextRequest readNextRequest(std::string_view body) {
    NextRequest request;
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) return request;
    const std::optional<Json> object = bodyObject(body, request.error);
    std::optional<std::int64_t> after;
    if (object &&
        readWhole(*object, "after", 1, kMaxId, false, kNextAfterField, after, request.error) &&
        after) {
        request.after = static_cast<std::uint64_t>(*after);
    }
    return request;
}

ControlsRequest readControlsRequest(std::string_view body) {
    ControlsRequest request;
    const std::optional<Json> object = bodyObject(body, request.error);
    if (!object) return request;
    ControlsChange& change = request.change;
    if (const Json* paused = optionalField(*object, "paused")) {
        if (!paused->is_boolean()) {
            request.error = kPausedField;
            return request;
        }
        change.paused = paused->get<bool>();
    }
    std::optional<std::int64_t> key;
    std::optional<std::int64_t> tempo;
    if (!readWhole(*object, "key", kMinTranspose, kMaxTranspose, false,
                   keyFieldRefused(kMinTranspose, kMaxTranspose), key, request.error) ||
        !readWhole(*object, "tempo", kMinTempoPercent, kMaxTempoPercent, false,
                   tempoFieldRefused(kMinTempoPercent, kMaxTempoPercent), tempo,
                   request.error)) {
        return request;
    }
    if (key) change.key = static_cast<int>(*key);
    if (tempo) change.tempo = static_cast<int>(*tempo);
    if (const Json* guide = optionalField(*object, "guide")) {
        const std::optional<GuideLevel> level =
            guide->is_string() ? guideFromName(guide->get_ref<const std::string&>())
                               : std::nullopt;
        if (!level) {
            request.error = kGuideField;
            return request;
        }
        change.guide = level;
    }
    return request;
}

}  // namespace kdb2mid
