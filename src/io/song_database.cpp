#include "io/song_database.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

namespace kdb2mid {

SongDatabase::OpenError SongDatabase::open(const std::filesystem::path& folder) {
    static std::atomic<std::uint64_t> openings{0};
    opening_ = ++openings;
    folder_ = folder;
    if (!songIndex_.open(folder / kSongIndexFile)) {
        return songIndex_.notRegularFile() ? OpenError::songIndexNotFile : OpenError::songIndex;
    }
    if (!songData_.open(folder / kSongDataFile)) {
        return songData_.notRegularFile() ? OpenError::songDataNotFile : OpenError::songData;
    }
    return OpenError::none;
}

namespace {

// SONG.IDX is read this much at a time by a run over many songs.
constexpr std::size_t kIndexBlockSize = std::size_t{64} << 10;

// A record found in the index but longer than any song is refused here,
// before anything is allocated for it.
RecordLookup bounded(RecordLookup where) noexcept {
    if (where.outcome == RecordLookup::Outcome::found && where.length > kMaxRecordSize) {
        where.outcome = RecordLookup::Outcome::tooLarge;
    }
    return where;
}

}  // namespace

RecordLookup SongDatabase::locate(std::int32_t songNumber) const {
    using Outcome = RecordLookup::Outcome;
    const std::optional<std::uint64_t> offset = songIndexOffset(songNumber);
    if (!offset) return {Outcome::belowFirstSong};
    std::uint8_t entries[2 * kIndexEntrySize];
    if (!songIndex_.readAt(*offset, entries)) return {Outcome::pastIndexEnd};
    return bounded(recordAt(entries, kSongDataUnit, songData_.size()));
}

RecordLookup SongDatabase::locate(std::int32_t songNumber, IndexBlock& block) const {
    using Outcome = RecordLookup::Outcome;
    const std::optional<std::uint64_t> offset = songIndexOffset(songNumber);
    if (!offset) return {Outcome::belowFirstSong};
    constexpr std::uint64_t kPair = 2 * kIndexEntrySize;
    const bool held = block.opening_ == opening_ && *offset >= block.start_ && *offset - block.start_ <= block.bytes_.size() &&
                      block.bytes_.size() - (*offset - block.start_) >= kPair;
    if (!held) {
        const std::uint64_t size = songIndex_.size();
        if (*offset > size || size - *offset < kPair) return {Outcome::pastIndexEnd};
        block.bytes_.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(kIndexBlockSize, size - *offset)));
        block.start_ = *offset;
        block.opening_ = opening_;
        if (!songIndex_.readAt(*offset, block.bytes_)) {
            block.bytes_.clear();
            return {Outcome::pastIndexEnd};
        }
    }
    const auto at = static_cast<std::size_t>(*offset - block.start_);
    const std::span<const std::uint8_t, 2 * kIndexEntrySize> entries(block.bytes_.data() + at,
                                                                     2 * kIndexEntrySize);
    return bounded(recordAt(entries, kSongDataUnit, songData_.size()));
}

bool SongDatabase::readRecord(const RecordLookup& where, std::vector<std::uint8_t>& record) const {
    // locate() has checked the length against SONG.DAT's size and against
    // kMaxRecordSize; a lookup that was not found reads nothing.
    if (where.outcome != RecordLookup::Outcome::found || where.length > kMaxRecordSize) {
        return false;
    }
    record.resize(static_cast<std::size_t>(where.length));
    return songData_.readAt(where.start, record);
}

std::int32_t SongDatabase::firstSong() const noexcept { return kFirstSongNumber; }

std::int32_t SongDatabase::songCount() const noexcept {
    const std::uint64_t entries = songIndex_.size() / kIndexEntrySize;
    if (entries < 2) return 0;
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max() - kFirstSongNumber);
    return static_cast<std::int32_t>(std::min(entries - 1, limit));
}

void SongDatabase::openChorusFiles() const {
    std::call_once(chorusOnce_, [this] {
        chorusIndex_.open(folder_ / kChorusIndexFile);
        chorusData_.open(folder_ / kChorusDataFile);
    });
}

const RandomAccessFile* SongDatabase::chorusIndex() const {
    openChorusFiles();
    return chorusIndex_.isOpen() ? &chorusIndex_ : nullptr;
}

const RandomAccessFile* SongDatabase::chorusData() const {
    openChorusFiles();
    return chorusData_.isOpen() ? &chorusData_ : nullptr;
}

bool SongDatabase::chorusIndexNotFile() const {
    openChorusFiles();
    return chorusIndex_.notRegularFile();
}

bool SongDatabase::chorusDataNotFile() const {
    openChorusFiles();
    return chorusData_.notRegularFile();
}

}  // namespace kdb2mid
