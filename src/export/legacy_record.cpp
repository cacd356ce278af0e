#include "export/legacy_record.hpp"

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

namespace kdb2mid {

LegacyRecordLocation legacyRecordAt(std::span<const std::uint8_t, 8> entries,
                                    std::uint64_t dataSize) noexcept {
    using Outcome = LegacyRecordLocation::Outcome;
    // song.idx counts bytes; equal entries give a record of 0 bytes.
    const RecordLookup where = recordAt(entries, 1, dataSize);
    switch (where.outcome) {
        case RecordLookup::Outcome::found:
        case RecordLookup::Outcome::empty: return {Outcome::found, where.start, where.length};
        case RecordLookup::Outcome::pastDataEnd:
            return {Outcome::pastDataEnd, where.start, where.length};
        default: return {Outcome::endBeforeStart, where.start, 0};
    }
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
    return copyRange(data, where.start, where.start + where.length, out, buffer);
}

std::string legacyRecordFileName(std::int32_t songNumber) {
    return std::to_string(songNumber) + ".dat";
}

}  // namespace kdb2mid
