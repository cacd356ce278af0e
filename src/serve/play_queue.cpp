#include "serve/play_queue.hpp"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "messages/serve_messages.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::json;

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

// The parser has checked that text is UTF-8: a character is a byte that does
// not continue one. Control characters are C0, DEL and C1 (U+0080..U+009F,
// C2 80..C2 9F): a name holds none.
bool acceptableSinger(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return false;
        if (byte == 0xC2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            return false;
        }
        if ((byte & 0xC0) != 0x80) ++characters;
    }
    return characters <= kMaxSingerCharacters;
}

}  // namespace

std::optional<QueueEntry> PlayQueue::add(std::int32_t song, std::string title, std::string singer,
                                         int key) {
    if (entries_.size() >= kMaxQueueEntries) return std::nullopt;
    QueueEntry entry{++lastId_, song, std::move(title), std::move(singer), key};
    entries_.push_back(entry);
    return entry;
}

void PlayQueue::next() {
    if (entries_.empty()) {
        playing_.reset();
        return;
    }
    playing_ = std::move(entries_.front());
    entries_.pop_front();
}

QueueRequest readQueueRequest(std::string_view body) {
    QueueRequest request;
    // Parsed without exceptions: a malformed body is a value, not a throw.
    const Json object = Json::parse(body, nullptr, false);
    if (!object.is_object()) {
        request.error = kBodyNotObject;
        return request;
    }
    const auto song = object.find("song");
    const std::optional<std::int64_t> number =
        song == object.end() ? std::nullopt
                             : wholeNumber(*song, 1, std::numeric_limits<std::int32_t>::max());
    if (!number) {
        request.error = kQueueSongField;
        return request;
    }
    request.song = static_cast<std::int32_t>(*number);
    if (const auto singer = object.find("singer"); singer != object.end() && !singer->is_null()) {
        if (!singer->is_string() || !acceptableSinger(singer->get_ref<const std::string&>())) {
            request.error = singerFieldRefused(kMaxSingerCharacters);
            return request;
        }
        request.singer = singer->get<std::string>();
    }
    if (const auto key = object.find("key"); key != object.end() && !key->is_null()) {
        const std::optional<std::int64_t> change = wholeNumber(*key, kMinTranspose, kMaxTranspose);
        if (!change) {
            request.error = keyFieldRefused(kMinTranspose, kMaxTranspose);
            return request;
        }
        request.key = static_cast<int>(*change);
    }
    return request;
}

}  // namespace kdb2mid
