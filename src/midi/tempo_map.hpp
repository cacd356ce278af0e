// Seconds at any tick of a song: the set-tempo events (FF 51) of all its
// tracks merged into one list of segments of constant tempo.
//
// MIDI file rules: 120 quarters a minute until the first change; of several
// changes at one tick the last wins, the later track's over the earlier
// track's and a later event's over an earlier one in the same track.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/lyric_block.hpp"
#include "midi/midi_timing.hpp"
#include "format/song_image.hpp"
#include "midi/midi_format.hpp"

namespace kdb2mid {

class TempoMap {
public:
    // No change at all: 120 quarters a minute throughout.
    TempoMap() = default;
    // changes in track order, each track's in event order (as scanTrackTiming
    // appends them); division ticks per quarter note (0 makes every time 0).
    explicit TempoMap(std::span<const TempoChange> changes,
                      std::uint16_t division = kMidiDivision);

    // The time of tick in seconds, in O(log n) for n changes.
    double secondsAt(std::uint64_t tick) const noexcept;

    // The tempo that applies from one change to the next.
    struct Segment {
        std::uint64_t tick;
        double seconds;  // time at tick
        std::uint32_t microsecondsPerQuarter;
    };
    std::span<const Segment> segments() const noexcept { return segments_; }

private:
    std::vector<Segment> segments_{{0, 0.0, kDefaultMicrosecondsPerQuarter}};
    std::uint16_t division_ = kMidiDivision;
};

// What a converted song's timing needs from its decoded image.
struct SongTiming {
    TempoMap tempo;
    // The last event of the data tracks and of the lyric track (the lyric
    // track's end is the sum of its deltas).
    std::uint64_t endTick = 0;

    double lengthSeconds() const noexcept { return tempo.secondsAt(endTick); }
};

// Scans the data tracks (table entries 0..N-2 bound them; checkTrackOffsets
// has passed) for their tempo changes and ends. Reads only inside image.
SongTiming songTiming(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                      const LyricBlock& lyrics);

// The same for track bodies given one by one (e.g. after scaleTempo).
SongTiming songTiming(std::span<const std::span<const std::uint8_t>> tracks,
                      const LyricBlock& lyrics);

}  // namespace kdb2mid
