#include "midi/midi_timing.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;

TEST(MidiTiming, WalksEventsToTheTracksEnd) {
    struct Case {
        const char* name;
        test::Bytes track;
        std::uint64_t endTick;
        bool complete;
        std::vector<std::uint64_t> tempoTicks;
    };
    const Case cases[] = {
        {"empty", {}, 0, true, {}},
        {"end of track", bytes({0x60, 0xFF, 0x2F, 0x00}), 96, true, {}},
        {"bytes after the end are not read", bytes({0x00, 0xFF, 0x2F, 0x00, 0x7F, 0x90}), 0, true, {}},
        {"running status and two-byte delta",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x81, 0x00, 0x3C, 0x00}), 128, true, {}},
        {"one data byte for program change",
         bytes({0x10, 0xC0, 0x05, 0x10, 0x06}), 32, true, {}},
        {"system exclusive with its length",
         bytes({0x05, 0xF0, 0x03, 0x43, 0x10, 0xF7, 0x05, 0x90, 0x3C, 0x40}), 10, true, {}},
        {"tempo events at their ticks",
         bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x78, 0xFF, 0x51, 0x03, 0x0F, 0x42,
                0x40}),
         120, true, {0, 120}},
        {"zero tempo ignored", bytes({0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00}), 0, true, {}},
        {"data byte without status", bytes({0x00, 0x3C, 0x40}), 0, false, {}},
        {"running status cancelled by meta",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x05, 0x3C, 0x00}), 0, false, {}},
        {"truncated channel message", bytes({0x05, 0x90, 0x3C, 0x0A, 0x90, 0x3C}), 5, false, {}},
        {"meta longer than the track", bytes({0x05, 0xFF, 0x01, 0x09, 0x41}), 0, false, {}},
        {"delta without its last byte", bytes({0x00, 0x90, 0x3C, 0x64, 0x81}), 0, false, {}},
        {"delta of five bytes", bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64}), 0, false, {}},
        {"largest delta", bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64}), 0x0FFFFFFF, true, {}},
    };
    for (const Case& c : cases) {
        std::vector<TempoChange> tempos;
        const TrackTiming timing = scanTrackTiming(c.track, tempos);
        EXPECT_EQ(timing.endTick, c.endTick) << c.name;
        EXPECT_EQ(timing.complete, c.complete) << c.name;
        std::vector<std::uint64_t> ticks;
        for (const TempoChange& change : tempos) ticks.push_back(change.tick);
        EXPECT_EQ(ticks, c.tempoTicks) << c.name;
    }
}

TEST(MidiTiming, TicksToSecondsFollowsTheTempoChanges) {
    struct Case {
        std::uint64_t tick;
        std::vector<TempoChange> tempos;
        std::uint16_t division;
        double seconds;
    };
    const Case cases[] = {
        {0, {}, 120, 0.0},
        {240, {}, 120, 1.0},  // two quarters at the default 120 a minute
        {240, {{0, 1000000}}, 120, 2.0},
        {480, {{240, 250000}}, 120, 1.5},
        // Given out of order; at one tick the later one wins.
        {480, {{240, 250000}, {0, 1000000}, {0, 500000}}, 120, 1.5},
        // A change at or after the end does not count.
        {240, {{240, 1000000}, {900, 1}}, 120, 1.0},
        {240, {}, 0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ticksToSeconds(c.tick, c.tempos, c.division), c.seconds) << c.tick;
    }
}

}  // namespace
}  // namespace kdb2mid
