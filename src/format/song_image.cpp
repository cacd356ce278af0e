#include "format/song_image.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

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
constexpr std::size_t kGroupItems = 8;
// One group reads at most a flag byte and eight references; a run of
// literals is copied 8 bytes at a time from its first byte.
constexpr std::size_t kGroupInputMargin = 1 + kGroupItems * 2 + kNarrowCopy;
// One group writes at most eight items of two wide copies each.
constexpr std::size_t kGroupOutputMargin = kGroupItems * 2 * kWideCopy;
static_assert(2 * kWideCopy >= kMaxMatch && 3 * kNarrowCopy >= kMaxMatch,
              "the fixed number of copies must cover the longest reference");
static_assert(kNarrowCopy >= kGroupItems, "one narrow copy must hold a group's literals");

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

// A flag byte read as runs: how many literals stand before each of its
// references, and after the last one. In MIDI data literals and references
// alternate without a pattern, so a decoder that branches on every flag bit
// mispredicts about every other item; read by runs, a group costs one copy
// per run of literals and one per reference.
struct GroupShape {
    std::uint8_t references = 0;
    std::array<std::uint8_t, kGroupItems + 1> literalsBefore{};  // [references]: the trailing run
};

constexpr std::array<GroupShape, 256> makeGroupShapes() {
    std::array<GroupShape, 256> shapes{};
    for (unsigned flags = 0; flags < 256; ++flags) {
        GroupShape& shape = shapes[flags];
        std::uint8_t run = 0;
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            if (flags & bit) {
                ++run;
            } else {
                shape.literalsBefore[shape.references++] = run;
                run = 0;
            }
        }
        shape.literalsBefore[shape.references] = run;
    }
    return shapes;
}

constexpr std::array<GroupShape, 256> kGroupShapes = makeGroupShapes();

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
    // Whole groups while both margins hold: no per-item bounds checks.
    while (p < end && end - p >= kGroupInputMargin && capacity - k >= kGroupOutputMargin) {
        const unsigned flags = in[p++];
        if (flags == 0) {
            // Only a group of references can hold the end mark.
            for (unsigned item = 0; item < kGroupItems; ++item) {
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
        const GroupShape& shape = kGroupShapes[flags];
        // A reference whose distance minus one (behind) is below 15 or at
        // least k needs the careful copy; one unsigned comparison against
        // this bound finds both. k only grows within the group, so the bound
        // taken at its start errs on the careful side.
        const std::size_t nearOrBeforeStart = k >= kWideCopy - 1 ? k - (kWideCopy - 1) : 0;
        for (unsigned j = 0; j < shape.references; ++j) {
            const std::size_t run = shape.literalsBefore[j];
            copy8(out + k, in + p);
            p += run;
            k += run;
            const unsigned b1 = in[p];
            const unsigned b2 = in[p + 1];
            p += 2;
            const std::size_t window = (b1 << 4) | (b2 >> 4);
            const std::size_t count = (b2 & 0x0F) + kMinMatch;
            const std::size_t behind = (k - 1 - window) & (kWindowSize - 1);
            if (behind - (kWideCopy - 1) >= nearOrBeforeStart) [[unlikely]] {
                if (behind >= k) return RecordError::referenceBeforeStart;
                copyReference(out, k, k - 1 - behind, count);
                k += count;
                continue;
            }
            const std::uint8_t* const from = out + k - 1 - behind;
            copy16(out + k, from);
            if (count > kWideCopy) copy16(out + k + kWideCopy, from + kWideCopy);
            k += count;
        }
        const std::size_t tail = shape.literalsBefore[shape.references];
        copy8(out + k, in + p);
        p += tail;
        k += tail;
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
