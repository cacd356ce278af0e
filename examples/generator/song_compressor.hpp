// The encoder for the song record stream, the inverse of decompressSongImage.
// The converter never needs it; the sample database generator, the tests,
// benchmarks and fuzz seeds do.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

enum class StreamEnd : std::uint8_t {
    // The stream runs to the end of the record: nothing may follow it.
    atRecordEnd,
    // The stream ends with an explicit end mark (a group whose flag byte and
    // first reference are all zero), so any bytes may follow it, such as the
    // zero padding that rounds a record up to 16 bytes.
    endMark,
};

// Compresses image into the stream format. Decoding the result gives image
// back exactly. Matches are searched in the whole 4096-byte window with hash
// chains and one step of lazy matching, which brings MIDI track data to about
// half its size. With StreamEnd::endMark an image that has too few repeats
// to end on a whole group is refused by throwing std::length_error.
std::vector<std::uint8_t> compressSongImage(std::span<const std::uint8_t> image,
                                            StreamEnd end = StreamEnd::endMark);

}  // namespace kdb2mid
