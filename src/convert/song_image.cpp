#include "convert/song_image.hpp"

#include <algorithm>
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

RecordError decompressSongImageReference(std::span<const std::uint8_t> record,
                                         std::size_t streamStart, SongImage& image) {
    const std::size_t capacity = imageCapacityFor(record.size());
    std::uint8_t* const out = image.prepare(capacity);
    const std::size_t end = record.size();
    std::size_t p = streamStart;
    std::size_t k = 0;
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
            const std::size_t window = (b1 << 4) | (b2 >> 4);
            const std::size_t count = (b2 & 0x0F) + kMinMatch;
            std::size_t source = window | (k & ~(kWindowSize - 1));
            if (source >= k) {
                if (source < kWindowSize) return RecordError::referenceBeforeStart;
                source -= kWindowSize;
            }
            if (count > capacity - k) return RecordError::imageOverflow;
            for (std::size_t i = 0; i < count; ++i) out[k++] = out[source++];
        }
    }
done:
    image.length_ = k;
    return RecordError::none;
}

RecordError decompressSongImage(std::span<const std::uint8_t> record, std::size_t streamStart,
                                SongImage& image) {
    return decompressSongImageReference(record, streamStart, image);
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
