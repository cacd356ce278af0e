#include "inspect/melody.hpp"

#include <gtest/gtest.h>

namespace kdb2mid {
namespace {

TEST(Melody, FoundByWordStarts) {
    const auto notesAt = [](std::initializer_list<std::uint64_t> ticks, std::uint8_t channel = 0) {
        std::vector<Note> notes;
        for (std::uint64_t tick : ticks) notes.push_back({tick, tick + 10, 60, channel});
        return notes;
    };
    const std::vector<std::uint64_t> words = {0, 100, 200, 300, 400};
    struct Case {
        const char* name;
        std::vector<std::vector<Note>> tracks;
        std::vector<std::uint64_t> words;
        int track;
        double coverage;
    };
    const Case cases[] = {
        {"no words", {notesAt({0})}, {}, -1, 0.0},
        {"no tracks", {}, words, -1, 0.0},
        {"drums don't count", {notesAt({0, 100, 200, 300, 400}, 9)}, words, -1, 0.0},
        {"exactly 60 % qualifies", {{}, notesAt({0, 100, 200, 250})}, words, 1, 0.6},
        {"40 % doesn't", {notesAt({0, 100, 250})}, words, -1, 0.4},
        {"the better of two", {notesAt({0, 100, 200}), notesAt({0, 100, 200, 300})}, words, 1, 0.8},
        {"a tie goes to the track with fewer starts",
         {notesAt({0, 50, 100, 150, 200, 250, 300, 350, 400}), notesAt({0, 100, 200, 300, 400})},
         words, 1, 1.0},
        {"then to the lower index", {notesAt({0, 100, 200}), notesAt({0, 100, 200})}, words, 0,
         0.6},
        {"words at one tick each count", {notesAt({0, 100})}, {0, 0, 0, 100, 200}, 0, 0.8},
    };
    for (const Case& c : cases) {
        const MelodyChoice choice = findMelody(c.tracks, c.words);
        EXPECT_EQ(choice.track, c.track) << c.name;
        EXPECT_DOUBLE_EQ(choice.coverage, c.coverage) << c.name;
    }
}

}  // namespace
}  // namespace kdb2mid
