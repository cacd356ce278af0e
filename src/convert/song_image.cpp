#include "convert/song_image.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "foundation/byte_order.hpp"
#include "foundation/database_layout.hpp"

namespace kdb2mid {

std::uint8_t* SongImage::prepare(std::size_t capacity) {
    if (capacity > allocated_) {
        // Uninitialised on purpose: every byte below length_ is written by the
        // decoder before it is read.
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        allocated_ = capacity;
    }
    capacity_ = capacity;
    length_ = 0;
    return buffer_.get();
}

RecordError readTrackOffsetTable(std::span<const std::uint8_t> record, TrackOffsetTable& table) {
    table.entries.clear();
    if (record.size() < kRecordTableOffset + 4) return RecordError::recordTooShort;
    const std::uint32_t v = readBigEndian32(record, kRecordTableOffset);
    if (v < kMinStreamOffset) return RecordError::tableTooSmall;
    const std::size_t count = (v - 16) / 4;
    if (count - 1 > kMaxTracks) return RecordError::tooManyTracks;
    if (kRecordTableOffset + 4 * count > record.size()) return RecordError::tableOutsideRecord;
    table.streamOffset = v;
    table.entries.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
        table.entries[j] = readBigEndian32(record, kRecordTableOffset + 4 * j) - v;
    }
    return RecordError::none;
}

namespace {

std::size_t imageCapacityFor(std::size_t recordLength) {
    // Table entries are 32-bit image offsets, so no image may pass 4 GiB - 1.
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
    return recordLength > limit / kImageCapacityFactor ? limit
                                                       : recordLength * kImageCapacityFactor;
}

}  // namespace

namespace {

// Decoder state between the fast and the careful loop.
struct DecodeState {
    std::size_t p;  // next stream byte
    std::size_t k;  // image bytes produced
};

// Where a reference made at image length k with window position `window`
// reads from, or nothing when that lies before the image's first byte.
inline bool referenceSource(std::size_t window, std::size_t k, std::size_t& source) {
    source = window | (k & ~(kWindowSize - 1));
    if (source >= k) {
        if (source < kWindowSize) return false;
        source -= kWindowSize;
    }
    return true;
}

// The exact decoder: every item checks its input and its room. It also
// finishes what the fast loop leaves, from a group boundary on.
RecordError decodeCarefully(std::span<const std::uint8_t> record, DecodeState state,
                            std::uint8_t* out, std::size_t capacity, std::size_t& length) {
    const std::size_t end = record.size();
    std::size_t p = state.p;
    std::size_t k = state.k;
    while (p < end) {
        const unsigned flags = record[p++];
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            if (flags & bit) {
                if (p >= end) goto done;
                if (k == capacity) return RecordError::imageOverflow;
                out[k++] = record[p++];
                continue;
            }
            // A reference needs its two bytes and at least one record byte after them.
            if (p + 2 >= end) goto done;
            const unsigned b1 = record[p];
            const unsigned b2 = record[p + 1];
            p += 2;
            if (flags == 0 && b1 == 0 && b2 == 0) goto done;
            const std::size_t count = (b2 & 0x0F) + kMinMatch;
            std::size_t source = 0;
            if (!referenceSource((b1 << 4) | (b2 >> 4), k, source)) {
                return RecordError::referenceBeforeStart;
            }
            if (count > capacity - k) return RecordError::imageOverflow;
            for (std::size_t i = 0; i < count; ++i) out[k++] = out[source++];
        }
    }
done:
    length = k;
    return RecordError::none;
}

// References at least this far back are copied 16 bytes at a time, two
// copies for any count; nearer ones 8 at a time, the nearest byte by byte.
constexpr std::size_t kWideCopy = 16;
constexpr std::size_t kNarrowCopy = 8;
// One group reads at most a flag byte and eight references, and a literal's
// wide copy reads 16 bytes from its position.
constexpr std::size_t kGroupInputMargin = 1 + 8 * 2 + kWideCopy;
// One group writes at most eight items of two wide copies each.
constexpr std::size_t kGroupOutputMargin = 8 * 2 * kWideCopy;
static_assert(2 * kWideCopy >= kMaxMatch && 3 * kNarrowCopy >= kMaxMatch,
              "the fixed number of copies must cover the longest reference");

inline void copy16(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, kWideCopy); }
inline void copy8(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, kNarrowCopy); }

// Copies count bytes from source to k, as the byte-by-byte loop would. It may
// write up to 2 * kWideCopy bytes from k, never more; every byte it reads was
// produced before it is read, because each copy reads at least its own width
// behind what it writes.
inline void copyReference(std::uint8_t* out, std::size_t k, std::size_t source, std::size_t count) {
    const std::size_t distance = k - source;
    if (distance >= kWideCopy) {
        copy16(out + k, out + source);
        // Rare: most references are shorter than 17 bytes.
        if (count > kWideCopy) copy16(out + k + kWideCopy, out + source + kWideCopy);
    } else if (distance >= kNarrowCopy) {
        copy8(out + k, out + source);
        copy8(out + k + kNarrowCopy, out + source + kNarrowCopy);
        copy8(out + k + 2 * kNarrowCopy, out + source + 2 * kNarrowCopy);
    } else {
        for (std::size_t i = 0; i < count; ++i) out[k + i] = out[source + i];
    }
}

}  // namespace

RecordError decompressSongImageReference(std::span<const std::uint8_t> record,
                                         std::size_t streamStart, SongImage& image) {
    const std::size_t capacity = imageCapacityFor(record.size());
    std::uint8_t* const out = image.prepare(capacity);
    return decodeCarefully(record, {streamStart, 0}, out, capacity, image.length_);
}

RecordError decompressSongImage(std::span<const std::uint8_t> record, std::size_t streamStart,
                                SongImage& image) {
    const std::size_t capacity = imageCapacityFor(record.size());
    std::uint8_t* const out = image.prepare(capacity);
    const std::uint8_t* const in = record.data();
    const std::size_t end = record.size();
    std::size_t p = streamStart;
    std::size_t k = 0;
    // Whole groups while both margins hold: no per-item bounds checks, copies
    // eight bytes at a time where source and destination are far enough apart.
    while (p < end && end - p >= kGroupInputMargin && capacity - k >= kGroupOutputMargin) {
        const unsigned flags = in[p++];
        if (flags == 0xFF) {
            copy8(out + k, in + p);
            p += kNarrowCopy;
            k += kNarrowCopy;
            continue;
        }
        if (flags == 0) {
            // Only a group of references can hold the end mark.
            for (unsigned item = 0; item < 8; ++item) {
                const unsigned b1 = in[p];
                const unsigned b2 = in[p + 1];
                p += 2;
                if (b1 == 0 && b2 == 0) {
                    image.length_ = k;
                    return RecordError::none;
                }
                std::size_t source = 0;
                if (!referenceSource((b1 << 4) | (b2 >> 4), k, source)) {
                    return RecordError::referenceBeforeStart;
                }
                const std::size_t count = (b2 & 0x0F) + kMinMatch;
                copyReference(out, k, source, count);
                k += count;
            }
            continue;
        }
        // Literal or reference, each item is one 16-byte copy from a source
        // chosen without a branch: a literal copies from the stream (only its
        // first byte counts), a reference from the image. Only the rare items
        // the wide copy cannot take (a near source, a bad source) branch off.
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            const bool literal = (flags & bit) != 0;
            const unsigned b1 = in[p];
            const unsigned b2 = in[p + 1];
            const std::size_t window = (b1 << 4) | (b2 >> 4);
            const std::size_t distance = ((k - window - 1) & (kWindowSize - 1)) + 1;
            const std::size_t count = literal ? 1 : (b2 & 0x0F) + kMinMatch;
            const bool special = (!literal) & ((distance < kWideCopy) | (distance > k));
            if (special) [[unlikely]] {
                p += 2;
                if (distance > k) return RecordError::referenceBeforeStart;
                copyReference(out, k, k - distance, count);
                k += count;
                continue;
            }
            const std::uint8_t* const from = literal ? in + p : out + k - distance;
            copy16(out + k, from);
            if (count > kWideCopy) copy16(out + k + kWideCopy, from + kWideCopy);
            p += literal ? 1 : 2;
            k += count;
        }
    }
    return decodeCarefully(record, {p, k}, out, capacity, image.length_);
}

RecordError checkTrackOffsets(const TrackOffsetTable& table, std::size_t imageLength) {
    const std::size_t last = table.entries.size() - 2;
    for (std::size_t j = 0; j <= last; ++j) {
        const std::uint32_t previous = j == 0 ? 0 : table.entries[j - 1];
        if (table.entries[j] < previous || table.entries[j] > imageLength) {
            return RecordError::tracksOutOfOrder;
        }
    }
    return RecordError::none;
}

}  // namespace kdb2mid
