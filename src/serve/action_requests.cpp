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

}  // namespace

QueueRequest readQueueRequest(std::string_view body) {
    QueueRequest request;
    const std::optional<Json> object = bodyObject(body, request.error);
    if (!object) return request;
    const Json* song = optionalField(*object, "song");
    const std::optional<std::int64_t> number =
        song == nullptr ? std::nullopt
                        : wholeNumber(*song, 1, std::numeric_limits<std::int32_t>::max());
    if (!number) {
        request.error = kQueueSongField;
        return request;
    }
    request.song = static_cast<std::int32_t>(*number);
    if (const Json* singer = optionalField(*object, "singer")) {
        if (!singer->is_string() || !acceptableSinger(singer->get_ref<const std::string&>())) {
            request.error = singerFieldRefused(kMaxSingerCharacters);
            return request;
        }
        request.singer = singer->get<std::string>();
    }
    if (const Json* key = optionalField(*object, "key")) {
        const std::optional<std::int64_t> change = wholeNumber(*key, kMinTranspose, kMaxTranspose);
        if (!change) {
            request.error = keyFieldRefused(kMinTranspose, kMaxTranspose);
            return request;
        }
        request.key = static_cast<int>(*change);
    }
    return request;
}

MoveRequest readMoveRequest(std::string_view body) {
    MoveRequest request;
    const std::optional<Json> object = bodyObject(body, request.error);
    if (!object) return request;
    const Json* id = optionalField(*object, "id");
    const std::optional<std::int64_t> number = id ? wholeNumber(*id, 1, kMaxId) : std::nullopt;
    if (!number) {
        request.error = kEntryIdField;
        return request;
    }
    request.id = static_cast<std::uint64_t>(*number);
    const Json* to = optionalField(*object, "to");
    const std::optional<std::int64_t> position = to ? wholeNumber(*to, 0, kMaxId) : std::nullopt;
    if (!position) {
        request.error = kMoveToField;
        return request;
    }
    request.to = static_cast<std::size_t>(*position);
    return request;
}

NextRequest readNextRequest(std::string_view body) {
    NextRequest request;
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) return request;
    const std::optional<Json> object = bodyObject(body, request.error);
    if (!object) return request;
    if (const Json* after = optionalField(*object, "after")) {
        const std::optional<std::int64_t> id = wholeNumber(*after, 1, kMaxId);
        if (!id) {
            request.error = kNextAfterField;
            return request;
        }
        request.after = static_cast<std::uint64_t>(*id);
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
    if (const Json* key = optionalField(*object, "key")) {
        const std::optional<std::int64_t> value = wholeNumber(*key, kMinTranspose, kMaxTranspose);
        if (!value) {
            request.error = keyFieldRefused(kMinTranspose, kMaxTranspose);
            return request;
        }
        change.key = static_cast<int>(*value);
    }
    if (const Json* tempo = optionalField(*object, "tempo")) {
        const std::optional<std::int64_t> value =
            wholeNumber(*tempo, kMinTempoPercent, kMaxTempoPercent);
        if (!value) {
            request.error = tempoFieldRefused(kMinTempoPercent, kMaxTempoPercent);
            return request;
        }
        change.tempo = static_cast<int>(*value);
    }
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
