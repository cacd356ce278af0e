#include "format/song_image.hpp"

#include <gtest/gtest.h>

#include <random>

#include "format/byte_order.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::bytes;
using test::Bytes;

// A record whose table holds these stored entries (entry 0 is V) and whose
// stream starts at V + 4.
Bytes recordWith(const std::vector<std::uint32_t>& stored, const Bytes& stream) {
    Bytes record(20, 0);
    for (std::uint32_t value : stored) appendBigEndian32(record, value);
    record.resize(std::max<std::size_t>(record.size(), stored.empty() ? 0 : stored[0] + 4), 0xEE);
    record.insert(record.end(), stream.begin(), stream.end());
    return record;
}

// The image a stream decodes to, behind a V = 24 table.
Bytes decode(const Bytes& stream) {
    const Bytes record = recordWith({24, 24}, stream);
    SongImage image;
    EXPECT_EQ(decompressSongImage(record, 28, image), RecordError::none);
    return Bytes(image.bytes().begin(), image.bytes().end());
}

Bytes repeat(const Bytes& pattern, std::size_t count) {
    Bytes out;
    while (out.size() < count) out.push_back(pattern[out.size() % pattern.size()]);
    return out;
}

TEST(DecompressSongImage, DecodesLiteralsReferencesAndEnds) {
    struct Case {
        const char* what;
        Bytes stream;
        Bytes image;
    };
    const Bytes letters = bytes({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47});
    Bytes lettersTwentyFive = repeat(letters, 21);
    lettersTwentyFive.insert(lettersTwentyFive.end(), {0x41, 0x42, 0x43, 0x44});
    const Case cases[] = {
        {"eight literals", bytes({0xFF, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}),
         bytes({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48})},
        {"overlapping copy then end mark",
         bytes({0xFE, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x99}),
         lettersTwentyFive},
        {"distance one repeats the last byte", bytes({0x80, 0x41, 0x00, 0x0F, 0x00}),
         Bytes(19, 0x41)},
        {"reference whose second byte is the record's last", bytes({0x80, 0x41, 0x00, 0x0F}),
         bytes({0x41})},
        {"00 00 in a group with literals is a copy", bytes({0xE0, 0x41, 0x42, 0x43, 0x00, 0x00, 0x00}),
         bytes({0x41, 0x42, 0x43, 0x41, 0x42, 0x43})},
        {"literals run out with the record", bytes({0xFF, 0x41, 0x42, 0x43, 0x44}),
         bytes({0x41, 0x42, 0x43, 0x44})},
        {"no stream at all", Bytes{}, Bytes{}},
    };
    for (const Case& c : cases) EXPECT_EQ(decode(c.stream), c.image) << c.what;
}

TEST(DecompressSongImage, PlacesTheWindowPositionInTheCurrentBlock) {
    // 5000 literal bytes 0..255 repeating, then one reference; the copied
    // bytes show which source offset the window position chose.
    struct Case {
        std::size_t length;  // image length when the reference is met
        unsigned position;
        std::size_t source;
    };
    const Case cases[] = {{5000, 0x388, 904}, {5000, 0x100, 4352}, {4096, 0, 0}, {4096, 0xFFF, 4095}};
    for (const Case& c : cases) {
        Bytes stream;
        std::size_t produced = 0;
        while (produced < c.length) {
            const std::size_t n = std::min<std::size_t>(8, c.length - produced);
            stream.push_back(static_cast<std::uint8_t>(0xFF << (8 - n)));
            for (std::size_t i = 0; i < n; ++i) {
                stream.push_back(static_cast<std::uint8_t>((produced + i) * 7 % 251));
            }
            if (n < 8) {
                // The rest of this group's bits are references: the one under test comes next.
                break;
            }
            produced += n;
        }
        // A fresh group: the reference first, literals after it (so 00 00 is no end mark).
        if (c.length % 8 == 0) stream.push_back(0x7F);
        stream.push_back(static_cast<std::uint8_t>(c.position >> 4));
        stream.push_back(static_cast<std::uint8_t>((c.position & 0xF) << 4));  // count 3
        stream.insert(stream.end(), {0xFF, 0xFF, 0xFF});  // room after the reference
        const Bytes image = decode(stream);
        ASSERT_GE(image.size(), c.length + 3);
        // Byte by byte from the source on, so an overlapping copy repeats itself.
        EXPECT_EQ(image[c.length], static_cast<std::uint8_t>(c.source * 7 % 251));
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(image[c.length + i], image[c.source + i]) << c.length << " " << c.position;
        }
    }
}

TEST(DecompressSongImage, RefusesWhatWouldLeaveTheBuffers) {
    struct Case {
        const char* what;
        Bytes stream;
        RecordError error;
    };
    const Case cases[] = {
        {"reference before the first byte", bytes({0x7F, 0x00, 0x10, 0x41, 0x41}),
         RecordError::referenceBeforeStart},
        {"reference past what was produced", bytes({0xBF, 0x41, 0x00, 0x20, 0x41}),
         RecordError::referenceBeforeStart},
        // This 51-byte record allows a 153-byte image; a literal and ten
        // copies of 18 bytes exceed it.
        {"image beyond three times the record",
         bytes({0x80, 0x41, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x0F,
                0x00, 0x0F, 0x00, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x0F}),
         RecordError::imageOverflow},
    };
    for (const Case& c : cases) {
        const Bytes record = recordWith({24, 24}, c.stream);
        SongImage image;
        EXPECT_EQ(decompressSongImage(record, 28, image), c.error) << c.what;
        EXPECT_EQ(decompressSongImageReference(record, 28, image), c.error) << c.what;
    }
}

// A stream that mostly decodes: references point inside what was produced,
// with short or long distances (flavour 3: the distances where the fast
// decoder changes how it copies, and the farthest one allowed), all-literal
// groups now and then, and (in some rounds) a damaged item or an early end.
Bytes randomStream(std::mt19937& random, std::size_t groups, unsigned flavour) {
    Bytes stream;
    std::size_t k = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const bool allLiterals = random() % 5 == 0;
        unsigned flags = allLiterals ? 0xFF : static_cast<unsigned>(random()) & 0xFF;
        if (k == 0) flags |= 0x80;
        if (flags == 0) flags = 1;  // an all-reference group ending in 00 00 would end the stream
        stream.push_back(static_cast<std::uint8_t>(flags));
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            if ((flags & bit) || k == 0) {
                stream.push_back(static_cast<std::uint8_t>(random()));
                ++k;
                continue;
            }
            const std::size_t reach = std::min<std::size_t>(k, kWindowSize);
            std::size_t distance = flavour == 0 ? 1 + random() % std::min<std::size_t>(reach, 8)
                                                : 1 + random() % reach;
            if (flavour == 2 && random() % 50 == 0) distance = reach + 1 + random() % 100;  // damage
            if (flavour == 3) {
                const std::size_t edges[] = {7, 8, 14, 15, 16, 17, reach};
                distance = std::min(reach, edges[random() % std::size(edges)]);
            }
            const std::size_t count = kMinMatch + random() % 16;
            const auto position = static_cast<unsigned>((k - distance) & (kWindowSize - 1));
            stream.push_back(static_cast<std::uint8_t>(position >> 4));
            stream.push_back(static_cast<std::uint8_t>(((position & 0xF) << 4) | (count - kMinMatch)));
            k += count;
        }
    }
    return stream;
}

TEST(DecompressSongImage, FastDecoderMatchesTheReferenceOnAnyStream) {
    std::mt19937 random(12345);
    for (int round = 0; round < 1500; ++round) {
        const unsigned flavour = static_cast<unsigned>(round) % 4;
        const std::size_t groups = 1 + random() % (round % 10 == 0 ? 3000 : 60);
        Bytes stream = randomStream(random, groups, flavour);
        if (round % 7 == 0) stream.resize(random() % (stream.size() + 1));  // cut anywhere
        const Bytes record = recordWith({24, 24}, stream);
        SongImage fast;
        SongImage reference;
        const RecordError fastError = decompressSongImage(record, 28, fast);
        const RecordError referenceError = decompressSongImageReference(record, 28, reference);
        ASSERT_EQ(fastError, referenceError) << "round " << round;
        ASSERT_TRUE(std::equal(fast.bytes().begin(), fast.bytes().end(), reference.bytes().begin(),
                               reference.bytes().end()))
            << "round " << round;
    }
}

TEST(ReadTrackOffsetTable, LoadsEntriesRelativeToTheStream) {
    TrackOffsetTable table;
    ASSERT_EQ(readTrackOffsetTable(recordWith({28, 128, 200}, {}), table), RecordError::none);
    EXPECT_EQ(table.streamOffset, 28U);
    EXPECT_EQ(table.entries, (std::vector<std::uint32_t>{0, 100, 172}));

    // V = 27 still gives two entries; bytes 28..30 are skipped.
    Bytes record = recordWith({27, 30}, {});
    ASSERT_EQ(readTrackOffsetTable(record, table), RecordError::none);
    EXPECT_EQ(table.entries.size(), 2U);
    EXPECT_EQ(table.entries[1], 3U);
}

TEST(ReadTrackOffsetTable, RefusesTablesThatDoNotFit) {
    struct Case {
        const char* what;
        Bytes record;
        RecordError error;
    };
    Bytes hugeV(20, 0);
    appendBigEndian32(hugeV, 0xFFFFFFF0);
    Bytes manyTracks(20, 0);
    appendBigEndian32(manyTracks, 16 + 4 * 65537);
    manyTracks.resize(20 + 4 * 65537, 0);
    Bytes justEnough(20, 0);
    appendBigEndian32(justEnough, 16 + 4 * 65536);
    justEnough.resize(20 + 4 * 65536, 0);
    const Case cases[] = {
        {"empty record", Bytes{}, RecordError::recordTooShort},
        {"header only", Bytes(20, 0), RecordError::recordTooShort},
        {"V below 24", recordWith({23}, {}), RecordError::tableTooSmall},
        {"V of 0", recordWith({0}, {}), RecordError::tableTooSmall},
        {"table past the record", hugeV, RecordError::tooManyTracks},
        {"table just past the record", test::concat({Bytes(20, 0), bytes({0, 0, 0, 32, 0, 0, 0, 40})}),
         RecordError::tableOutsideRecord},
        {"65537 entries: 65536 tracks", manyTracks, RecordError::tooManyTracks},
        {"65536 entries: 65535 tracks", justEnough, RecordError::none},
    };
    for (const Case& c : cases) {
        TrackOffsetTable table;
        EXPECT_EQ(readTrackOffsetTable(c.record, table), c.error) << c.what;
    }
}

TEST(CheckTrackOffsets, NeedsAscendingEntriesInsideTheImage) {
    struct Case {
        std::vector<std::uint32_t> entries;
        std::size_t imageLength;
        RecordError error;
    };
    const Case cases[] = {
        {{0, 300, 300, 1000, 7}, 1000, RecordError::none},  // the last entry is never read
        {{0, 0}, 0, RecordError::none},
        {{0, 300, 200, 1000, 0}, 1000, RecordError::tracksOutOfOrder},
        {{0, 300, 1001, 0}, 1000, RecordError::tracksOutOfOrder},
        {{0, 0xFFFFFF00, 0}, 1000, RecordError::tracksOutOfOrder},
    };
    for (const Case& c : cases) {
        TrackOffsetTable table;
        table.entries = c.entries;
        EXPECT_EQ(checkTrackOffsets(table, c.imageLength), c.error);
    }
}

}  // namespace
}  // namespace kdb2mid
