#include "midi/midi_file.hpp"

#include <gtest/gtest.h>

#include "generator/song_compressor.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;
using test::concat;

// A record holding image behind a table of the given image offsets.
Bytes recordFor(const Bytes& image, const std::vector<std::uint32_t>& offsets) {
    const auto v = static_cast<std::uint32_t>(16 + 4 * offsets.size());
    Bytes record(20, 0);
    for (std::uint32_t offset : offsets) appendBigEndian32(record, offset + v);
    const Bytes stream = compressSongImage(image, StreamEnd::atRecordEnd);
    record.insert(record.end(), stream.begin(), stream.end());
    return record;
}

Bytes trackChunk(const Bytes& body) {
    Bytes chunk{'M', 'T', 'r', 'k'};
    appendBigEndian32(chunk, static_cast<std::uint32_t>(body.size()));
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

const Bytes kEmptyLyricTrack = bytes({'M', 'T', 'r', 'k', 0, 0, 0, 8, 0x00, 0xFF, 0x03, 0x00, 0x00,
                                      0xFF, 0x2F, 0x00});

TEST(WriteMidiFile, HeaderAndDataTracks) {
    // Lyric block: lead byte and an empty first title.
    const Bytes lyric = bytes({0x2A, 0x00});
    Bytes a(300), c(700);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::uint8_t>(i * 3);
    for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<std::uint8_t>(i ^ 0x5A);

    Bytes out;
    ASSERT_EQ(recordToMidi(recordFor(lyric, {0, 99}), out), RecordError::none);
    EXPECT_EQ(out, concat({bytes({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 1, 0, 0x78}),
                           kEmptyLyricTrack}));

    // N = 5, entries 0, 300, 300, 1000: three tracks of 300, 0 and 700 bytes.
    out.clear();
    ASSERT_EQ(recordToMidi(recordFor(concat({a, c, lyric}), {0, 300, 300, 1000, 12345}), out),
              RecordError::none);
    EXPECT_EQ(out, concat({bytes({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 4, 0, 0x78}),
                           trackChunk(a), trackChunk({}), trackChunk(c), kEmptyLyricTrack}));
    EXPECT_EQ(Bytes(out.begin() + 18, out.begin() + 22), bytes({0, 0, 1, 0x2C}));
}

TEST(WriteMidiFile, RefusedRecordsWriteNothing) {
    struct Case {
        const char* what;
        Bytes record;
        RecordError error;
    };
    const Bytes lyric = bytes({0x2A, 0x00});
    const Case cases[] = {
        {"too short", Bytes(16, 0), RecordError::recordTooShort},
        {"V below 24", concat({Bytes(20, 0), bytes({0, 0, 0, 20, 0, 0, 0, 0})}),
         RecordError::tableTooSmall},
        {"track beyond the image", recordFor(lyric, {0, 3, 0}), RecordError::tracksOutOfOrder},
        {"tracks out of order", recordFor(concat({Bytes(10, 1), lyric}), {0, 8, 4, 10, 0}),
         RecordError::tracksOutOfOrder},
        {"lyric line without end",
         recordFor(bytes({0x2A, 0x00, 0x20, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49}),
                   {0, 0, 0}),
         RecordError::lyricLinePastImage},
    };
    for (const Case& c : cases) {
        Bytes out;
        EXPECT_EQ(recordToMidi(c.record, out), c.error) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
}

TEST(WriteMidiFile, SongsBuiltByTheGeneratorLibrary) {
    sample::SongSpec song;
    song.tracks = {bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}),
                   bytes({0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})};
    song.lyricBlock = sample::buildLyricBlock(
        {"Title", "Author"}, {{" Hi", false, {0, 5, 5}}, {"yo", true, {240, 10}}});
    Bytes out;
    ASSERT_EQ(recordToMidi(sample::buildRecord(song), out), RecordError::none);
    const Bytes expectedLyric =
        concat({bytes({0x00, 0xFF, 0x03, 5}), bytes({'T', 'i', 't', 'l', 'e'}),
                bytes({0x00, 0xFF, 0x03, 6}), bytes({'A', 'u', 't', 'h', 'o', 'r'}),
                bytes({0x00, 0xFF, 0x05, 1, ' ', 0x05, 0xFF, 0x05, 1, 'H', 0x05, 0xFF, 0x05, 1, 'i',
                       0x81, 0x66, 0xFF, 0x05, 1, 'y', 0x0A, 0xFF, 0x05, 1, 'o', 0x00, 0xFF, 0x2F,
                       0x00})});
    Bytes lyricChunk{'M', 'T', 'r', 'k'};
    appendBigEndian32(lyricChunk, static_cast<std::uint32_t>(expectedLyric.size()));
    lyricChunk.insert(lyricChunk.end(), expectedLyric.begin(), expectedLyric.end());
    EXPECT_EQ(out, concat({bytes({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 3, 0, 0x78}),
                           trackChunk(song.tracks[0]), trackChunk(song.tracks[1]), lyricChunk}));
}

}  // namespace
}  // namespace kdb2mid
