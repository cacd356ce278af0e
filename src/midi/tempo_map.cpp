#include "midi/tempo_map.hpp"

#include <algorithm>

namespace kdb2mid {

namespace {

double segmentSeconds(std::uint64_t ticks, std::uint32_t microsecondsPerQuarter,
                      std::uint16_t division) {
    return static_cast<double>(ticks) * microsecondsPerQuarter / division / 1e6;
}

}  // namespace

TempoMap::TempoMap(std::span<const TempoChange> changes, std::uint16_t division)
    : division_(division) {
    std::vector<TempoChange> sorted(changes.begin(), changes.end());
    // Stable, so of the changes at one tick the last given stays last.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    segments_.reserve(sorted.size() + 1);
    for (const TempoChange& change : sorted) {
        Segment& last = segments_.back();
        if (change.tick == last.tick) {
            last.microsecondsPerQuarter = change.microsecondsPerQuarter;
        } else {
            segments_.push_back({change.tick, 0.0, change.microsecondsPerQuarter});
        }
    }
    if (division_ == 0) return;
    for (std::size_t i = 1; i < segments_.size(); ++i) {
        const Segment& before = segments_[i - 1];
        segments_[i].seconds =
            before.seconds + segmentSeconds(segments_[i].tick - before.tick,
                                            before.microsecondsPerQuarter, division_);
    }
}

double TempoMap::secondsAt(std::uint64_t tick) const noexcept {
    if (division_ == 0) return 0;
    // The last segment that starts at or before tick; the first starts at 0.
    const auto after = std::upper_bound(
        segments_.begin(), segments_.end(), tick,
        [](std::uint64_t t, const Segment& segment) { return t < segment.tick; });
    const Segment& segment = *(after - 1);
    return segment.seconds +
           segmentSeconds(tick - segment.tick, segment.microsecondsPerQuarter, division_);
}

namespace {

std::uint64_t lyricEndTick(const LyricBlock& lyrics) {
    std::uint64_t tick = 0;
    for (const LyricEvent& event : lyrics.events) tick += event.delta;
    return tick;
}

}  // namespace

SongTiming songTiming(std::span<const std::span<const std::uint8_t>> tracks,
                      const LyricBlock& lyrics) {
    std::vector<TempoChange> changes;
    std::uint64_t endTick = lyricEndTick(lyrics);
    for (const std::span<const std::uint8_t> track : tracks) {
        endTick = std::max(endTick, scanTrackTiming(track, changes).endTick);
    }
    return {TempoMap(changes), endTick};
}

SongTiming songTiming(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                      const LyricBlock& lyrics) {
    const std::vector<std::uint32_t>& entries = table.entries;
    std::vector<std::span<const std::uint8_t>> tracks;
    for (std::size_t j = 0; j + 2 < entries.size(); ++j) {
        tracks.push_back(image.subspan(entries[j], entries[j + 1] - entries[j]));
    }
    return songTiming(tracks, lyrics);
}

}  // namespace kdb2mid
