// The bodies of the requests that change the night, read: the fields, or
// the sentence naming the field that is wrong. Every reader takes any bytes
// (at most kMaxBodyBytes, checked before), never throws, and ignores fields
// it does not know.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "serve/night_state.hpp"

namespace kdb2mid {

// POST /api/queue: "song" (a whole number), "singer" (text of at most
// kMaxSingerCharacters characters, no control characters; optional) and
// "key" (a whole number kMinTranspose..kMaxTranspose; optional).
struct QueueRequest {
    std::int32_t song = 0;
    std::string singer;
    int key = 0;
    std::string error;  // "" when the request was read
};
QueueRequest readQueueRequest(std::string_view body);

// POST /api/queue/move: "id" (an entry's id) and "to" (a position from 0).
struct MoveRequest {
    std::uint64_t id = 0;
    std::size_t to = 0;
    std::string error;
};
MoveRequest readMoveRequest(std::string_view body);

// POST /api/queue/next: an empty body, or an object with "after" (an
// entry's id; optional).
struct NextRequest {
    std::optional<std::uint64_t> after;
    std::string error;
};
NextRequest readNextRequest(std::string_view body);

// POST /api/controls: any of "paused" (true or false), "key"
// (kMinTranspose..kMaxTranspose), "tempo" (kMinTempoPercent..
// kMaxTempoPercent) and "guide" ("off", "soft", "normal" or "strong").
struct ControlsRequest {
    ControlsChange change;
    std::string error;
};
ControlsRequest readControlsRequest(std::string_view body);

}  // namespace kdb2mid
