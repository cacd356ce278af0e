#include "export/legacy_record.hpp"

#include <algorithm>

#include "foundation/byte_order.hpp"
#include "foundation/database_layout.hpp"

namespace kdb2mid {

namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 20;

}  // namespace

const char* describe(LegacyRecordLocation::Outcome outcome) noexcept {
    using Outcome = LegacyRecordLocation::Outcome;
    switch (outcome) {
        case Outcome::found: return "found";
        case Outcome::belowFirstSong: return "song numbers start at 21090";
        case Outcome::pastIndexEnd: return "song.idx has no entry for it";
        case Outcome::endBeforeStart: return "its song.idx entries end before they start";
        case Outcome::pastDataEnd: return "its record runs past the end of song.dat";
    }
    return "unknown";
}

LegacyRecordLocation legacyRecordAt(std::span<const std::uint8_t, 8> entries,
                                    std::uint64_t dataSize) noexcept {
    using Outcome = LegacyRecordLocation::Outcome;
    const std::uint64_t start = readBigEndian32(entries, 0);
    const std::uint64_t end = readBigEndian32(entries, kIndexEntrySize);
    if (end < start) return {Outcome::endBeforeStart, start, 0};
    if (end > dataSize) return {Outcome::pastDataEnd, start, end - start};
    return {Outcome::found, start, end - start};
}

LegacyRecordLocation locateLegacyRecord(std::int32_t songNumber, const RandomAccessFile& index,
                                        std::uint64_t dataSize) {
    using Outcome = LegacyRecordLocation::Outcome;
    const std::optional<std::uint64_t> offset = songIndexOffset(songNumber);
    if (!offset) return {Outcome::belowFirstSong, 0, 0};
    std::uint8_t entries[2 * kIndexEntrySize];
    if (!index.readAt(*offset, entries)) return {Outcome::pastIndexEnd, 0, 0};
    return legacyRecordAt(entries, dataSize);
}

bool extractLegacyRecord(const RandomAccessFile& data, const LegacyRecordLocation& where,
                         ByteSink& out, std::vector<std::uint8_t>& buffer) {
    const std::uint64_t end = where.start + where.length;
    if (buffer.size() < kCopyBlock && where.length > 0) {
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, where.length)));
    }
    for (std::uint64_t at = where.start; at < end;) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
        const std::span<std::uint8_t> block(buffer.data(), size);
        if (!data.readAt(at, block)) return false;
        out.write(block);
        at += size;
    }
    return true;
}

std::string legacyRecordFileName(std::int32_t songNumber) {
    return std::to_string(songNumber) + ".dat";
}

}  // namespace kdb2mid
