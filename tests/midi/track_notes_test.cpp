#include "midi/track_notes.hpp"

#include <gtest/gtest.h>

#include "generator/midi_track_builder.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using sample::MidiTrackBuilder;
using test::bytes;

TEST(TrackNotes, PairsNoteOnsWithTheirEnds) {
    struct Case {
        const char* name;
        test::Bytes track;
        std::vector<Note> notes;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"note-on then note-off",
         bytes({0x10, 0x90, 0x3C, 0x64, 0x20, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}),
         {{16, 48, 60, 0}}},
        {"velocity 0 ends the note, running status",
         bytes({0x00, 0x93, 0x40, 0x50, 0x0A, 0x40, 0x00, 0x00, 0x43, 0x50, 0x0A, 0x43, 0x00}),
         {{0, 10, 64, 3}, {10, 20, 67, 3}}},
        {"meta and system exclusive skipped",
         bytes({0x00, 0xFF, 0x03, 0x02, 0x90, 0x3C, 0x00, 0x90, 0x3C, 0x64, 0x05, 0xF0, 0x02,
                0x90, 0xF7, 0x05, 0x80, 0x3C, 0x00}),
         {{0, 10, 60, 0}}},
        {"a note without its off ends at the end of track",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x30, 0xFF, 0x2F, 0x00}), {{0, 48, 60, 0}}},
        {"bytes after the end of track are not read",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x01, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3E, 0x64}),
         {{0, 1, 60, 0}}},
        {"a truncated event ends the walk at the last whole one",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x07, 0xB0, 0x07, 0x64, 0x09, 0x90, 0x3E}),
         {{0, 7, 60, 0}}},
        {"a meta event longer than the track ends the walk",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x05, 0xFF, 0x01, 0x7F, 0x41}), {{0, 0, 60, 0}}},
        {"a data byte without status ends the walk",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x04, 0xFF, 0x01, 0x00, 0x04, 0x3E, 0x64}),
         {{0, 4, 60, 0}}},
        {"same key on two channels is two notes",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0x91, 0x3C, 0x64, 0x05, 0x81, 0x3C, 0x00, 0x05,
                0x80, 0x3C, 0x00}),
         {{0, 10, 60, 0}, {0, 5, 60, 1}}},
        {"a note-off with nothing sounding is ignored",
         bytes({0x00, 0x80, 0x3C, 0x00, 0x05, 0x90, 0x3C, 0x64, 0x05, 0x80, 0x3C, 0x00}),
         {{5, 10, 60, 0}}},
        {"a retriggered key ends the note before; its off is not the new one's",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x0A, 0x90, 0x3C, 0x64, 0x0A, 0x80, 0x3C, 0x00, 0x0A,
                0x80, 0x3C, 0x00}),
         {{0, 10, 60, 0}, {10, 30, 60, 0}}},
        {"note-on before the note-off at one tick keeps the new note",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x0A, 0x90, 0x3C, 0x64, 0x00, 0x80, 0x3C, 0x00, 0x0A,
                0x80, 0x3C, 0x00}),
         {{0, 10, 60, 0}, {10, 20, 60, 0}}},
        {"a key byte above 127 is read as its low seven bits",
         bytes({0x00, 0x90, 0xBC, 0x64, 0x05, 0x80, 0x3C, 0x00}), {{0, 5, 60, 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trackNotes(c.track), c.notes) << c.name;
    }
}

TEST(TrackNotes, EveryCutOfATrackGivesWholeNotes) {
    MidiTrackBuilder builder;
    builder.trackName("Melody");
    for (std::uint32_t i = 0; i < 12; ++i) {
        const auto channel = static_cast<std::uint8_t>(i % 3);
        builder.note(i * 60, 90, channel, static_cast<std::uint8_t>(60 + i % 5), 100);
    }
    const test::Bytes track = builder.finish(960);
    const std::size_t all = trackNotes(track).size();
    for (std::size_t size = 0; size <= track.size(); ++size) {
        const std::vector<Note> notes = trackNotes(std::span(track).first(size));
        EXPECT_LE(notes.size(), all) << size;
        for (const Note& note : notes) EXPECT_LE(note.startTick, note.endTick) << size;
    }
}

}  // namespace
}  // namespace kdb2mid
