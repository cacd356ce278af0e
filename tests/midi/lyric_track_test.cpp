#include "midi/lyric_track.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;
using test::concat;

// The lyric track chunk built from an image whose lyric block starts (with its
// lead byte) at offset `lead`.
struct Track {
    RecordError error;
    Bytes chunk;
};

Track lyricTrack(const Bytes& image, std::uint32_t lead) {
    TrackOffsetTable table;
    table.entries = {0, lead, 0};
    LyricBlock lyrics;
    Track track{parseLyricBlock(image, table, lyrics), {}};
    if (track.error == RecordError::none) writeLyricTrack(image, lyrics, track.chunk);
    return track;
}

// The chunk for events (without the end of track), with its length filled in.
Bytes chunkOf(const Bytes& events) {
    const Bytes body = concat({events, bytes({0x00, 0xFF, 0x2F, 0x00})});
    const auto n = static_cast<std::uint32_t>(body.size());
    return concat({bytes({'M', 'T', 'r', 'k', static_cast<int>(n >> 24), static_cast<int>((n >> 16) & 0xFF),
                          static_cast<int>((n >> 8) & 0xFF), static_cast<int>(n & 0xFF)}),
                   body});
}

TEST(LyricTrack, WorkedExample) {
    const Bytes prefix(6, 0x90);  // data track bytes before the lead byte
    const Bytes image = concat({prefix, bytes({0x2A, 0x41, 0x62, 0x00, 0x20, 0x61, 0xD9, 0x00, 0x11,
                                               0x22, 0x33, 0x01, 0xE0, 0x00, 0x3C})});
    const Track track = lyricTrack(image, 6);
    ASSERT_EQ(track.error, RecordError::none);
    EXPECT_EQ(track.chunk,
              bytes({0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x16, 0x00, 0xFF, 0x03, 0x02, 0x41,
                     0x62, 0x83, 0x60, 0xFF, 0x05, 0x01, 0x20, 0x3C, 0xFF, 0x05, 0x02, 0x61, 0xD9,
                     0x00, 0xFF, 0x2F, 0x00}));
}

TEST(LyricTrack, GroupsBytesPerLetter) {
    struct Case {
        Bytes text;
        std::vector<Bytes> events;
    };
    const Case cases[] = {
        {bytes({0x68, 0x69}), {bytes({0x68}), bytes({0x69})}},
        {bytes({0x61, 0xD9}), {bytes({0x61, 0xD9})}},
        {bytes({0x61, 0xD9, 0xC2}), {bytes({0x61, 0xD9, 0xC2})}},
        {bytes({0xF1, 0xD9}), {bytes({0xF1}), bytes({0xD9})}},
        {bytes({0x61, 0xF4, 0xD9}), {bytes({0x61}), bytes({0xF4, 0xD9})}},
        {bytes({0xD9, 0x61}), {bytes({0xD9}), bytes({0x61})}},
        {bytes({0x41, 0x7F, 0x80}), {bytes({0x41, 0x7F, 0x80})}},
        // Eleven bytes of one letter: written whole, one time word.
        {concat({bytes({0x61}), Bytes(10, 0x85)}), {concat({bytes({0x61}), Bytes(10, 0x85)})}},
    };
    for (const Case& c : cases) {
        // A second line (after the title's first line " ") carries the text.
        Bytes image = bytes({0x2A, 0x00, 0x20, 0x00, 0, 0, 0, 0x00, 0x05, 0x30});
        image.insert(image.end(), c.text.begin(), c.text.end());
        image.insert(image.end(), {0x00, 0, 0, 0});
        for (std::size_t i = 0; i < c.events.size(); ++i) image.insert(image.end(), {0x00, 0x07});
        image.insert(image.end(), 9, 0x00);
        const Track track = lyricTrack(image, 0);
        ASSERT_EQ(track.error, RecordError::none);
        Bytes expected = bytes({0x00, 0xFF, 0x03, 0x00, 0x05, 0xFF, 0x05, 0x01, 0x20});
        for (std::size_t i = 0; i < c.events.size(); ++i) {
            const Bytes& text = c.events[i];
            expected.insert(expected.end(),
                            {static_cast<std::uint8_t>(i == 0 ? 0x02 : 0x07), 0xFF, 0x05,
                             static_cast<std::uint8_t>(text.size())});
            expected.insert(expected.end(), text.begin(), text.end());
        }
        EXPECT_EQ(track.chunk, chunkOf(expected)) << ::testing::PrintToString(c.text);
    }
}

TEST(LyricTrack, TitlesAndLineBounds) {
    struct Case {
        const char* what;
        Bytes image;  // lyric block from the lead byte at offset 0
        Bytes events;
    };
    const Bytes title200(200, 0x41);
    const Case cases[] = {
        {"empty first title, image ends at its NUL", bytes({0x2A, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x00})},
        {"title without NUL forms no event", bytes({0x2A, 0x41, 0x42}), Bytes{}},
        {"lead byte is never interpreted", bytes({0x20, 0x41, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x01, 0x41})},
        {"separators of any value, 0x20 inside a title",
         bytes({0x2A, 0x41, 0x00, 0x00, 0x42, 0x20, 0x43, 0x00, 0x30, 0x44, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x01, 0x41, 0x00, 0xFF, 0x03, 0x03, 0x42, 0x20, 0x43, 0x00, 0xFF,
                0x03, 0x01, 0x44})},
        {"empty title after the first", bytes({0x2A, 0x41, 0x00, 0x2F, 0x00, 0x2F, 0x42, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x01, 0x41, 0x00, 0xFF, 0x03, 0x00, 0x00, 0xFF, 0x03, 0x01, 0x42})},
        {"long title length", concat({bytes({0x2A}), title200, bytes({0x00})}),
         concat({bytes({0x00, 0xFF, 0x03, 0x81, 0x48}), title200})},
        {"line starting at K - 8 is not read",
         bytes({0x2A, 0x00, 0x20, 0x00, 0, 0, 0, 0x00, 0x01, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x00})},
        {"short image: no line is read", bytes({0x2A, 0x00, 0x20, 0x41, 0x00}),
         bytes({0x00, 0xFF, 0x03, 0x00})},
        {"empty line consumes no time word",
         bytes({0x2A, 0x00, 0x20, 0x00, 0, 0, 0, 0x00, 0x10, 0x30, 0x00, 0, 0, 0, 0x41, 0x00, 0, 0,
                0, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0, 0}),
         bytes({0x00, 0xFF, 0x03, 0x00, 0x10, 0xFF, 0x05, 0x01, 0x20, 0x20, 0xFF, 0x05, 0x01, 0x41})},
        {"only one line mark is dropped",
         bytes({0x2A, 0x00, 0x20, 0x00, 0, 0, 0, 0x00, 0x10, 0x30, 0x30, 0x41, 0x00, 0, 0, 0, 0x00,
                0x20, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         bytes({0x00, 0xFF, 0x03, 0x00, 0x10, 0xFF, 0x05, 0x01, 0x20, 0x10, 0xFF, 0x05, 0x01, 0x30,
                0x01, 0xFF, 0x05, 0x01, 0x41})},
    };
    for (const Case& c : cases) {
        const Track track = lyricTrack(c.image, 0);
        ASSERT_EQ(track.error, RecordError::none) << c.what;
        EXPECT_EQ(track.chunk, chunkOf(c.events)) << c.what;
    }
}

TEST(LyricTrack, LineTimes) {
    // Line 1 " A" at 540 (" " at 480, "A" 60 later); line 2 at the word given.
    struct Case {
        const char* what;
        Bytes line2;
        Bytes events2;
    };
    const Case cases[] = {
        {"first word is an absolute time", bytes({0x30, 0x6F, 0x00, 0, 0, 0, 0x02, 0x58}),
         bytes({0x3C, 0xFF, 0x05, 0x01, 0x6F})},
        {"a time before the running time keeps its place",
         bytes({0x6F, 0x00, 0, 0, 0, 0x00, 0x64}), bytes({0x00, 0xFF, 0x05, 0x01, 0x6F})},
        {"a first letter of two bytes is timed like one of one byte",
         bytes({0x41, 0xD9, 0x6F, 0x00, 0, 0, 0, 0x02, 0x58, 0x00, 0x05}),
         bytes({0x3C, 0xFF, 0x05, 0x02, 0x41, 0xD9, 0x05, 0xFF, 0x05, 0x01, 0x6F})},
    };
    for (const Case& c : cases) {
        const Bytes image = concat({bytes({0x2A, 0x00, 0x20, 0x41, 0x00, 0, 0, 0, 0x01, 0xE0, 0x00,
                                           0x3C}),
                                    c.line2, Bytes(8, 0)});
        const Track track = lyricTrack(image, 0);
        ASSERT_EQ(track.error, RecordError::none) << c.what;
        EXPECT_EQ(track.chunk,
                  chunkOf(concat({bytes({0x00, 0xFF, 0x03, 0x00, 0x83, 0x60, 0xFF, 0x05, 0x01, 0x20,
                                         0x3C, 0xFF, 0x05, 0x01, 0x41}),
                                  c.events2})))
            << c.what;
    }
}

TEST(LyricTrack, RefusesLinesThatRunPastTheImage) {
    const Bytes cases[] = {
        // Text without its NUL.
        bytes({0x2A, 0x00, 0x20, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49}),
        // Time words past the end.
        bytes({0x2A, 0x00, 0x20, 0x41, 0x00, 0, 0, 0, 0x00, 0x10, 0x00, 0x00, 0x42, 0x43, 0x44, 0x45,
               0x46, 0x00, 0, 0, 0, 0x00}),
    };
    for (const Bytes& image : cases) EXPECT_EQ(lyricTrack(image, 0).error, RecordError::lyricLinePastImage);
}

TEST(LyricTrack, LeadByteAtTheImageEndGivesAnEmptyTrack) {
    const Track track = lyricTrack(bytes({0x01, 0x02}), 2);
    ASSERT_EQ(track.error, RecordError::none);
    EXPECT_EQ(track.chunk, chunkOf({}));
}

}  // namespace
}  // namespace kdb2mid
