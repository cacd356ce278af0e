// Reading the events of one MIDI track body (the bytes inside an "MTrk"
// chunk) one at a time, with where each one's bytes lie, for code that
// rewrites events in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kdb2mid {

struct TrackEvent {
    std::uint64_t tick = 0;     // absolute: the sum of the delta times so far
    std::uint8_t status = 0;    // with running status applied; 0xFF meta, 0xF0/0xF7 system exclusive
    std::uint8_t metaType = 0;  // meta events only
    std::size_t start = 0;      // offset of the event's first byte after its delta time
    std::size_t data = 0;       // offset of the event's data bytes in the track
    std::size_t length = 0;     // number of data bytes (after a meta or sysex length)
};

// Walks a track body event by event. Every read is bounded by the track: an
// event is returned only when all its bytes are present.
class TrackEventReader {
public:
    explicit TrackEventReader(std::span<const std::uint8_t> track) noexcept : track_(track) {}

    // The next whole event. False at the end of the data, after the
    // end-of-track event, or at an event that cannot be read whole (a delta
    // time or length longer than four bytes, bytes missing, a data byte with
    // no status before it); position() then says how far the events went.
    bool next(TrackEvent& event) noexcept;

    // Offset just past the last event returned.
    std::size_t position() const noexcept { return pos_; }
    // Whether the events read make up the whole track: they reached its
    // end-of-track event or its last byte. False once next() stopped at an
    // event it could not read.
    bool readWhole() const noexcept { return ended_ || pos_ >= track_.size(); }

private:
    std::span<const std::uint8_t> track_;
    std::size_t pos_ = 0;
    std::uint64_t tick_ = 0;
    std::uint8_t running_ = 0;  // status of the last channel message, 0 when none applies
    bool ended_ = false;
};

}  // namespace kdb2mid
