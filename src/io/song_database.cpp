#include "io/song_database.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

namespace kdb2mid {

SongDatabase::OpenError SongDatabase::open(const std::filesystem::path& folder) {
    folder_ = folder;
    indexBytes_.clear();
    indexLoaded_ = false;
    if (!songIndex_.open(folder / kSongIndexFile)) return OpenError::songIndex;
    if (!songData_.open(folder / kSongDataFile)) return OpenError::songData;
    return OpenError::none;
}

RecordLookup SongDatabase::locate(std::int32_t songNumber) const {
    using Outcome = RecordLookup::Outcome;
    const std::optional<std::uint64_t> offset = songIndexOffset(songNumber);
    if (!offset) return {Outcome::belowFirstSong};
    std::uint8_t entries[8];
    if (indexLoaded_) {
        if (*offset > indexBytes_.size() || indexBytes_.size() - *offset < sizeof entries) {
            return {Outcome::pastIndexEnd};
        }
        std::memcpy(entries, indexBytes_.data() + *offset, sizeof entries);
    } else if (!songIndex_.readAt(*offset, entries)) {
        return {Outcome::pastIndexEnd};
    }
    return recordAt(entries, kSongDataUnit, songData_.size());
}


bool SongDatabase::loadIndex() {
    if (indexLoaded_) return true;
    // Only entries that a 32-bit song number can reach are ever looked up.
    constexpr auto kLastSong = std::numeric_limits<std::int32_t>::max();
    const std::uint64_t reachable =
        kIndexEntrySize * (static_cast<std::uint64_t>(kLastSong - kFirstSongNumber) + 2);
    const std::uint64_t size = std::min(songIndex_.size(), reachable);
    if (size > std::numeric_limits<std::size_t>::max()) return false;
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        if (!songIndex_.readAt(0, bytes)) return false;
        indexBytes_ = std::move(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    indexLoaded_ = true;
    return true;
}

bool SongDatabase::readRecord(const RecordLookup& where, std::vector<std::uint8_t>& record) const {
    // locate() has checked the length against SONG.DAT's size, so this
    // allocation is bounded by the file.
    record.resize(where.length);
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

}  // namespace kdb2mid
