#include "midi/track_transform.hpp"

#include <gtest/gtest.h>

#include "midi/midi_timing.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;
using test::concat;

TEST(TrackTransform, KeysMoveAndFoldBackByOctaves) {
    struct Case {
        int key;
        int semitones;
        int expected;
    };
    const Case cases[] = {
        {60, 0, 60},   {60, 2, 62},    {60, -12, 48}, {127, 1, 116}, {120, 12, 120},
        {0, -1, 11},   {5, -12, 5},    {11, -12, 11}, {126, 2, 116}, {127, 12, 127},
        {0, 12, 12},   {3, -7, 8},     {127, -12, 115},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(transposedKey(static_cast<std::uint8_t>(c.key), c.semitones), c.expected)
            << c.key << " " << c.semitones;
    }
    // Every key of every step stays a key, the pitch class moved by the step.
    for (int semitones = kMinTranspose; semitones <= kMaxTranspose; ++semitones) {
        for (int key = 0; key < 128; ++key) {
            const int moved = transposedKey(static_cast<std::uint8_t>(key), semitones);
            ASSERT_LE(moved, 127);
            EXPECT_EQ((moved - key - semitones + 48) % 12, 0) << key << " " << semitones;
        }
    }
}

TEST(TrackTransform, TransposeMovesPitchedNotesOnly) {
    struct Case {
        const char* name;
        Bytes track;
        int semitones;
        Bytes expected;
    };
    const Case cases[] = {
        {"note on and off", bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}), 3,
         bytes({0x00, 0x90, 63, 100, 0x60, 0x80, 63, 0})},
        {"running status", bytes({0x00, 0x91, 60, 100, 0x10, 64, 100, 0x10, 60, 0}), -2,
         bytes({0x00, 0x91, 58, 100, 0x10, 62, 100, 0x10, 58, 0})},
        {"polyphonic aftertouch", bytes({0x00, 0xA2, 60, 30}), 1, bytes({0x00, 0xA2, 61, 30})},
        {"drums stay", bytes({0x00, 0x99, 36, 100, 0x10, 0x89, 36, 0}), 5,
         bytes({0x00, 0x99, 36, 100, 0x10, 0x89, 36, 0})},
        {"controller, program, pitch bend and velocities stay",
         bytes({0x00, 0xB0, 7, 100, 0x00, 0xC0, 60, 0x00, 0xE0, 0x00, 0x40, 0x00, 0x90, 60, 60}),
         1, bytes({0x00, 0xB0, 7, 100, 0x00, 0xC0, 60, 0x00, 0xE0, 0x00, 0x40, 0x00, 0x90, 61, 60})},
        {"meta and sysex data that look like notes stay",
         bytes({0x00, 0xFF, 0x01, 0x03, 0x90, 60, 100, 0x00, 0xF0, 0x02, 0x90, 0xF7}), 4,
         bytes({0x00, 0xFF, 0x01, 0x03, 0x90, 60, 100, 0x00, 0xF0, 0x02, 0x90, 0xF7})},
        {"nothing after the end of track",
         bytes({0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 60, 100}), 4,
         bytes({0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 60, 100})},
        {"a cut event and the rest copied",
         bytes({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x09, 0x90, 60, 100}), 4,
         bytes({0x00, 0x90, 64, 100, 0x00, 0xFF, 0x01, 0x09, 0x90, 60, 100})},
        {"data byte without status", bytes({0x00, 60, 100, 0x00, 0x90, 60, 100}), 4,
         bytes({0x00, 60, 100, 0x00, 0x90, 60, 100})},
        {"out of range step is clamped to an octave", bytes({0x00, 0x90, 60, 100}), 40,
         bytes({0x00, 0x90, 72, 100})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(transposeTrack(c.track, c.semitones), c.expected) << c.name;
    }
}

TEST(TrackTransform, TempoValuesScale) {
    struct Case {
        std::uint32_t tempo;
        int percent;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {500000, 100, 500000}, {500000, 200, 250000},   {500000, 50, 1000000},
        {500000, 90, 555556},  {500000, 400, 125000},   {1, 400, 1},
        {3, 400, 1},           {0xFFFFFF, 25, 0xFFFFFF}, {0x500000, 25, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scaledTempo(c.tempo, c.percent), c.expected) << c.tempo << " " << c.percent;
    }
}

Bytes tempoEvent(int delta, std::uint32_t tempo) {
    return bytes({delta, 0xFF, 0x51, 0x03, static_cast<int>(tempo >> 16),
                  static_cast<int>((tempo >> 8) & 0xFF), static_cast<int>(tempo & 0xFF)});
}

TEST(TrackTransform, ScaleTempoRewritesEverySetTempo) {
    const Bytes note = bytes({0x10, 0x90, 60, 100});
    struct Case {
        const char* name;
        Bytes track;
        bool addStart;
        Bytes expected;
    };
    const Case cases[] = {
        {"every change", concat({tempoEvent(0, 500000), note, tempoEvent(0x20, 600000)}), false,
         concat({tempoEvent(0, 250000), note, tempoEvent(0x20, 300000)})},
        {"start tempo added", note, true, concat({tempoEvent(0, 250000), note})},
        {"zero stays zero", tempoEvent(0, 0), false, tempoEvent(0, 0)},
        {"longer data: the first three bytes",
         bytes({0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x55}), false,
         bytes({0x00, 0xFF, 0x51, 0x04, 0x03, 0xD0, 0x90, 0x55})},
        {"too short to be a tempo", bytes({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), false,
         bytes({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})},
        {"cut tempo copied", bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1}), false,
         bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scaleTempo(c.track, 200, c.addStart), c.expected) << c.name;
    }
}

TEST(TrackTransform, SongGetsAStartTempoOnlyWhenNoTrackHasOne) {
    const Bytes notes = bytes({0x00, 0x90, 60, 100, 0x60, 0x90, 60, 0});
    const Bytes drums = bytes({0x00, 0x99, 36, 100});
    const Bytes lateTempo = tempoEvent(0x60, 500000);
    struct Case {
        const char* name;
        std::vector<Bytes> tracks;
        int semitones;
        int percent;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"no tempo anywhere", {notes, drums}, 0, 50,
         {concat({tempoEvent(0, 1000000), notes}), drums}},
        {"a tempo only later", {lateTempo, notes}, 0, 50,
         {concat({tempoEvent(0, 1000000), tempoEvent(0x60, 1000000)}), notes}},
        {"start tempo in the second track", {notes, tempoEvent(0, 400000)}, 0, 200,
         {notes, tempoEvent(0, 200000)}},
        {"transpose alone adds no tempo", {notes, drums}, -1, 100,
         {bytes({0x00, 0x90, 59, 100, 0x60, 0x90, 59, 0}), drums}},
        {"both", {notes}, 12, 400,
         {concat({tempoEvent(0, 125000), bytes({0x00, 0x90, 72, 100, 0x60, 0x90, 72, 0})})}},
    };
    for (const Case& c : cases) {
        std::vector<std::span<const std::uint8_t>> spans(c.tracks.begin(), c.tracks.end());
        EXPECT_EQ(transformTracks(spans, c.semitones, c.percent), c.expected) << c.name;
    }
}

TEST(TrackTransform, WithoutNotesKeepsEveryOtherEventAtItsTick) {
    struct Case {
        const char* what;
        Bytes track;
        Bytes expected;
    };
    const Case cases[] = {
        {"running status past dropped notes is written out",
         bytes({0x00, 0x90, 0x3C, 0x40, 0x10, 0x3C, 0x00, 0x00, 0xB0, 0x07, 0x64, 0x05, 0x40, 0x00}),
         bytes({0x10, 0xB0, 0x07, 0x64, 0x05, 0xB0, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})},
        {"meta and system exclusive stay, note-off and aftertouch go",
         bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x03, 0x7E, 0x7F, 0x09,
                0x00, 0x80, 0x3C, 0x00, 0x10, 0xA0, 0x3C, 0x10, 0x20, 0xC0, 0x05, 0x00, 0xFF,
                0x2F, 0x00}),
         bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x03, 0x7E, 0x7F, 0x09,
                0x30, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00})},
        {"an event cut short ends the track",
         bytes({0x00, 0xB0, 0x07, 0x64, 0x10, 0x90, 0x3C}),
         bytes({0x00, 0xB0, 0x07, 0x64, 0x00, 0xFF, 0x2F, 0x00})},
        {"a gap longer than a delta time is bridged",
         bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 0x3C,
                0x00, 0x01, 0xB0, 0x07, 0x64}),
         bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01,
                0x00, 0x01, 0xB0, 0x07, 0x64, 0x00, 0xFF, 0x2F, 0x00})},
    };
    for (const Case& c : cases) EXPECT_EQ(withoutNotes(c.track), c.expected) << c.what;
}

}  // namespace
}  // namespace kdb2mid
