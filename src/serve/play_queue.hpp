// The songs waiting to be sung, in order, and the one on the screen. Kept by
// the server alone: every screen and phone reads the same queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kdb2mid {

// What a guest may ask for with a song: a key change within what convert's
// --transpose takes (midi/track_transform.hpp), a name this long.
inline constexpr std::size_t kMaxSingerCharacters = 40;
// A party never gets near it; a client looping on POST stops here instead of
// filling the server's memory.
inline constexpr std::size_t kMaxQueueEntries = 1000;

struct QueueEntry {
    std::uint64_t id = 0;  // unique for the server's life, from 1 on
    std::int32_t song = 0;
    std::string title;
    std::string singer;  // "" when not given
    int key = 0;         // semitones, kMinTranspose..kMaxTranspose
};

class PlayQueue {
public:
    // Appends the entry under a new id and returns it; nothing when the
    // queue holds kMaxQueueEntries already.
    std::optional<QueueEntry> add(std::int32_t song, std::string title, std::string singer,
                                  int key);
    // The first entry becomes the one playing; with none waiting, nothing plays.
    void next();

    const std::optional<QueueEntry>& playing() const noexcept { return playing_; }
    const std::deque<QueueEntry>& entries() const noexcept { return entries_; }

private:
    std::optional<QueueEntry> playing_;
    std::deque<QueueEntry> entries_;
    std::uint64_t lastId_ = 0;
};

// A POST /api/queue body read: the fields, or the sentence naming the field
// that is wrong.
struct QueueRequest {
    std::int32_t song = 0;
    std::string singer;
    int key = 0;
    std::string error;  // "" when the request was read
};

// Reads body: a JSON object with "song" (a whole number), "singer" (text
// of at most kMaxSingerCharacters characters, no control characters;
// optional) and "key" (a whole number kMinTranspose..kMaxTranspose;
// optional). Other fields are ignored. Never throws; any bytes are safe.
QueueRequest readQueueRequest(std::string_view body);

}  // namespace kdb2mid
