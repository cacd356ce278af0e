#include "midi/tempo_map.hpp"

#include <gtest/gtest.h>

#include "generator/database_writer.hpp"
#include "generator/midi_track_builder.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

// Track bodies with set-tempo events at (tick, microseconds per quarter).
Bytes tempoTrack(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> tempos) {
    sample::MidiTrackBuilder track;
    for (const auto& [tick, tempo] : tempos) track.tempo(tick, tempo);
    return track.finish();
}

SongTiming timingOf(const std::vector<Bytes>& tracks, const LyricBlock& lyrics = {}) {
    std::vector<std::span<const std::uint8_t>> spans(tracks.begin(), tracks.end());
    return songTiming(spans, lyrics);
}

TEST(TempoMap, SecondsFollowEveryTrackTempoChanges) {
    struct Case {
        const char* name;
        std::vector<Bytes> tracks;
        std::vector<std::pair<std::uint64_t, double>> times;  // tick, seconds
    };
    const Case cases[] = {
        {"none: 120 a minute", {tempoTrack({})}, {{0, 0.0}, {120, 0.5}, {240, 1.0}, {1200, 5.0}}},
        {"no tracks at all", {}, {{240, 1.0}}},
        {"120 a minute until the first change",
         {tempoTrack({{240, 1000000}})},
         {{240, 1.0}, {360, 2.0}, {480, 3.0}}},
        {"changes spread over several tracks",
         {tempoTrack({{0, 1000000}}), tempoTrack({{240, 250000}}), tempoTrack({{480, 500000}})},
         {{120, 1.0}, {240, 2.0}, {360, 2.25}, {480, 2.5}, {600, 3.0}}},
        {"two at one tick in one track: the later event wins",
         {tempoTrack({{0, 1000000}, {0, 250000}})},
         {{120, 0.25}}},
        {"two at one tick in two tracks: the later track wins",
         {tempoTrack({{120, 1000000}}), tempoTrack({{120, 250000}})},
         {{120, 0.5}, {240, 0.75}}},
        // A line's words at ticks 100 and 140, the tempo halving at 120.
        {"a change between two words",
         {tempoTrack({{120, 1000000}})},
         {{100, 100 / 240.0}, {140, 0.5 + 20 / 120.0}}},
    };
    for (const Case& c : cases) {
        const SongTiming timing = timingOf(c.tracks);
        for (const auto& [tick, seconds] : c.times) {
            EXPECT_NEAR(timing.tempo.secondsAt(tick), seconds, 1e-9) << c.name << " at " << tick;
        }
    }
}

// The map gives what a walk from tick 0 through every change gives.
TEST(TempoMap, AgreesWithAWalkThroughAllChanges) {
    std::vector<TempoChange> changes;
    for (std::uint32_t i = 0; i < 200; ++i) {
        changes.push_back({(i * 7919U) % 5000U, 200000 + (i * 104729U) % 900000U});
    }
    const TempoMap map(changes);
    for (std::uint64_t tick = 0; tick < 6000; tick += 37) {
        EXPECT_NEAR(map.secondsAt(tick), ticksToSeconds(tick, changes, kMidiDivision), 1e-9)
            << tick;
    }
}

TEST(TempoMap, DivisionAndLength) {
    EXPECT_DOUBLE_EQ(TempoMap({}, 480).secondsAt(480), 0.5);
    EXPECT_DOUBLE_EQ(TempoMap({}, 0).secondsAt(480), 0.0);

    // The song ends at the later of its data tracks' and its lyrics' ends.
    LyricBlock lyrics;
    lyrics.events = {{{0, 1}, 0, 600, true}, {{0, 1}, 0, 600, false}};
    EXPECT_EQ(timingOf({tempoTrack({{0, 250000}})}, lyrics).endTick, 1200U);
    EXPECT_DOUBLE_EQ(timingOf({tempoTrack({{0, 250000}})}, lyrics).lengthSeconds(), 2.5);
    sample::MidiTrackBuilder longer;
    longer.note(0, 2000, 0, 60, 100);
    EXPECT_EQ(timingOf({longer.finish()}, lyrics).endTick, 2000U);
}

}  // namespace
}  // namespace kdb2mid
