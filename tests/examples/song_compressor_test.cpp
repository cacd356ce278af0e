// The record stream encoder against the decoder: whatever it compresses
// decodes back to the same image, with either way of ending the stream.
#include "generator/song_compressor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "format/song_image.hpp"
#include "generator/sample_songs.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

enum class Content { random, repetitive, periodic };

std::uint8_t randomByte(std::mt19937& rng) {
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng));
}

// Repetitive images mix runs of one byte, copies of earlier bytes from
// anywhere in the 4096-byte window (the farthest distance included), and
// bytes from a four-letter alphabet, much as MIDI event data repeats itself.
// Periodic images repeat random bytes at one distance: matches exactly at
// the window's edge, or just past it where none may be used.
Bytes makeImage(std::size_t size, Content content, std::mt19937& rng, std::size_t period = 0) {
    Bytes image;
    image.reserve(size);
    if (content != Content::repetitive) {
        while (image.size() < size) {
            image.push_back(content == Content::periodic && image.size() >= period
                                ? image[image.size() - period]
                                : randomByte(rng));
        }
        return image;
    }
    std::uniform_int_distribution<std::size_t> piece(0, 3), length(1, 40), letter(0, 3);
    while (image.size() < size) {
        const std::size_t n = std::min(length(rng), size - image.size());
        switch (piece(rng)) {
            case 0:
                image.insert(image.end(), n, randomByte(rng));
                break;
            case 1:
                if (!image.empty()) {
                    const std::size_t farthest = std::min<std::size_t>(image.size(), kWindowSize);
                    const std::size_t distance =
                        piece(rng) == 0
                            ? farthest
                            : std::uniform_int_distribution<std::size_t>(1, farthest)(rng);
                    for (std::size_t i = 0; i < n; ++i)
                        image.push_back(image[image.size() - distance]);
                    break;
                }
                [[fallthrough]];
            default:
                for (std::size_t i = 0; i < n; ++i) {
                    image.push_back(static_cast<std::uint8_t>(0x40 + letter(rng)));
                }
        }
    }
    return image;
}

// Decodes a stream placed in a record the way the converter reads it: the
// stream after some header bytes, long enough a record for the image to fit
// its 3 x record-length buffer, and after an end-marked stream some bytes
// that are no part of it.
Bytes decode(const Bytes& stream, std::size_t imageSize, const Bytes& trailing) {
    const std::size_t minimum = (imageSize + kImageCapacityFactor - 1) / kImageCapacityFactor;
    const std::size_t header = std::max<std::size_t>(
        24,
        minimum > stream.size() + trailing.size() ? minimum - stream.size() - trailing.size() : 0);
    Bytes record(header, 0xEE);
    record.insert(record.end(), stream.begin(), stream.end());
    record.insert(record.end(), trailing.begin(), trailing.end());
    SongImage image;
    EXPECT_EQ(decompressSongImage(record, header, image), RecordError::none);
    return Bytes(image.bytes().begin(), image.bytes().end());
}

TEST(SongCompressor, RoundTripsRandomAndRepetitiveImages) {
    std::mt19937 rng(20240607);
    const std::size_t sizes[] = {0, 1, 2, 3, 8, 17, 100, 1000, 4095, 4096, 4097, 8192, 8193, 70000};
    for (const Content content : {Content::random, Content::repetitive}) {
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(testing::Message()
                         << (content == Content::random ? "random " : "repetitive ") << size
                         << " bytes");
            const Bytes image = makeImage(size, content, rng);

            const Bytes toEnd = compressSongImage(image, StreamEnd::atRecordEnd);
            EXPECT_TRUE(decode(toEnd, size, {}) == image);

            Bytes trailing;
            for (int i = 0; i < 16; ++i) trailing.push_back(randomByte(rng));
            try {
                const Bytes marked = compressSongImage(image, StreamEnd::endMark);
                EXPECT_TRUE(decode(marked, size, trailing) == image);
            } catch (const std::length_error&) {
                // Allowed only where too few repeats exist to fill the last group.
                EXPECT_FALSE(content == Content::repetitive && size >= 100);
            }
        }
    }
}

TEST(SongCompressor, RoundTripsRepeatsAtAndBeyondTheWindowEdge) {
    std::mt19937 rng(4096);
    const std::size_t periods[] = {1, 3, 18, 19, 4095, 4096, 4097, 5000};
    for (const std::size_t period : periods) {
        SCOPED_TRACE(testing::Message() << "period " << period);
        const Bytes image = makeImage(3 * period + 1000, Content::periodic, rng, period);
        EXPECT_TRUE(decode(compressSongImage(image, StreamEnd::atRecordEnd), image.size(), {}) ==
                    image);
    }
}

TEST(SongCompressor, ShrinksSampleTrackData) {
    std::size_t input = 0;
    std::size_t output = 0;
    for (const sample::SampleSong& song : sample::sampleSongs()) {
        Bytes tracks;
        for (const Bytes& track : song.spec.tracks)
            tracks.insert(tracks.end(), track.begin(), track.end());
        const Bytes stream = compressSongImage(tracks, StreamEnd::atRecordEnd);
        EXPECT_TRUE(decode(stream, tracks.size(), {}) == tracks) << song.number;
        input += tracks.size();
        output += stream.size();
    }
    const double ratio = static_cast<double>(output) / static_cast<double>(input);
    std::printf("sample MIDI track data: %zu bytes -> %zu bytes, ratio %.3f\n", input, output,
                ratio);
    EXPECT_LT(ratio, 0.7);
}

}  // namespace
}  // namespace kdb2mid
