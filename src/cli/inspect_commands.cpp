#include "cli/inspect_commands.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/song_info.hpp"
#include "cli/song_list.hpp"
#include "format/database_layout.hpp"
#include "format/export_layout.hpp"
#include "format/name_index.hpp"
#include "io/interruption.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// The song's CRS&TCK.IDX entries, as many as the file holds of them.
std::vector<std::uint8_t> readChorusEntries(const RandomAccessFile& index, ChorusRequest request) {
    const std::uint64_t start = kChorusEntrySize * request.firstEntry;
    if (start >= index.size()) return {};
    const std::uint64_t wanted = kChorusEntrySize * request.count;
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min(wanted, index.size() - start)));
    if (!index.readAt(start, bytes)) return {};
    return bytes;
}

// name.idx (4 bytes per song, like SONG.IDX) read a block at a time as the
// list goes through the songs in order, so its size does not decide the
// list's memory.
class NameEntries {
public:
    explicit NameEntries(const RandomAccessFile& file) : file_(file) {}

    // The song's entry and the next, or nothing when name.idx does not hold
    // them (or does not open).
    std::optional<std::span<const std::uint8_t, 8>> pairFor(std::int32_t songNumber) {
        constexpr std::uint64_t kPair = 2 * kIndexEntrySize;
        const std::optional<std::uint64_t> at = songIndexOffset(songNumber);
        if (!at || !file_.isOpen() || *at > file_.size() || file_.size() - *at < kPair) {
            return std::nullopt;
        }
        if (*at < start_ || *at - start_ > bytes_.size() || bytes_.size() - (*at - start_) < kPair) {
            bytes_.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(kBlock, file_.size() - *at)));
            start_ = *at;
            if (!file_.readAt(*at, bytes_)) {
                bytes_.clear();
                return std::nullopt;
            }
        }
        return std::span<const std::uint8_t, 8>(bytes_.data() + (*at - start_), kPair);
    }

private:
    static constexpr std::uint64_t kBlock = std::uint64_t{64} << 10;
    const RandomAccessFile& file_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t start_ = 0;
};

// Runs the info command's reading and decoding; out of memory is the caller's.
int describeStoredSong(std::int32_t songNumber, const SongDatabase& database) {
    const RecordLookup where = database.locate(songNumber);
    if (where.outcome != RecordLookup::Outcome::found) {
        printLine(cannotReadSong(songNumber, describe(where.outcome)));
        return kExitFailure;
    }
    std::vector<std::uint8_t> record;
    if (!database.readRecord(where, record)) {
        printLine(cannotReadSong(songNumber, couldNotRead(kSongDataFile)));
        return kExitFailure;
    }

    ChorusFacts chorus;
    std::vector<std::uint8_t> chorusEntries;
    const bool hasHeader = record.size() > kRecordChorusIndexOffset + 1;
    if (const auto request = hasHeader ? chorusRequest(record) : std::nullopt) {
        if (const RandomAccessFile* index = database.chorusIndex()) {
            chorus.indexOpen = true;
            chorusEntries = readChorusEntries(*index, *request);
            chorus.entries = chorusEntries;
        }
        if (const RandomAccessFile* data = database.chorusData()) chorus.dataSize = data->size();
    }

    DecodedSong song;
    std::string text;
    if (const RecordError error = describeSong(songNumber, record, chorus, song, text);
        error != RecordError::none) {
        printLine(cannotReadSong(songNumber, describe(error)));
        return kExitFailure;
    }
    printText(text);
    return kExitSuccess;
}

}  // namespace

int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printLine(databaseOpenFailure(error));
        return kExitFailure;
    }
    try {
        return describeStoredSong(songNumber, database);
    } catch (const std::bad_alloc&) {
        printLine(cannotReadSong(songNumber, "out of memory"));
        return kExitFailure;
    }
}

int runListCommand(const std::filesystem::path& databaseFolder) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printLine(databaseOpenFailure(error));
        return kExitFailure;
    }
    // Names are optional: without name.idx or name.tab every name is empty.
    // Something there that is no regular file is refused, and said so.
    int status = kExitSuccess;
    RandomAccessFile nameIndexFile;
    RandomAccessFile nameTable;
    for (auto [file, name] : {std::pair{&nameIndexFile, kNameIndexFile},
                              std::pair{&nameTable, kNameTableFile}}) {
        if (!file->open(databaseFolder / name) && file->notRegularFile()) {
            printError(notRegularFile(name));
            status = kExitFailure;
        }
    }
    NameEntries nameEntries(nameIndexFile);

    std::vector<std::uint8_t> name;
    IndexBlock index;
    const std::int32_t first = database.firstSong();
    for (std::int32_t i = 0; i < database.songCount() && !interrupted(); ++i) {
        const std::int32_t song = first + i;
        const RecordLookup::Outcome outcome = database.locate(song, index).outcome;
        // A record that runs past SONG.DAT's end, or is too large, is still
        // listed: converting it says what is wrong with it.
        if (outcome != RecordLookup::Outcome::found &&
            outcome != RecordLookup::Outcome::pastDataEnd &&
            outcome != RecordLookup::Outcome::tooLarge) {
            continue;
        }
        name.clear();
        const auto entries = nameEntries.pairFor(song);
        const auto where = entries ? nameAt(*entries, nameTable.size()) : std::nullopt;
        // A name longer than kMaxNameBytes comes from damaged entries: it is
        // left out unread.
        if (where && nameTable.isOpen() && where->length <= kMaxNameBytes) {
            name.resize(static_cast<std::size_t>(where->length));
            if (!nameTable.readAt(where->offset, name)) name.clear();
        }
        printLine(formatListLine(song, name));
    }
    return status;
}

}  // namespace kdb2mid
