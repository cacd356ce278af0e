#include "cli/inspect_commands.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/song_info.hpp"
#include "cli/song_list.hpp"
#include "format/database_layout.hpp"
#include "format/name_index.hpp"
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

// name.idx whole (4 bytes per song, like SONG.IDX), or empty when it does
// not open, cannot be read or held.
std::vector<std::uint8_t> readNameIndex(const RandomAccessFile& file) {
    if (!file.isOpen() || file.size() > std::numeric_limits<std::size_t>::max()) return {};
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
        if (!file.readAt(0, bytes)) return {};
        return bytes;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace

int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    const RecordLookup where = database.locate(songNumber);
    if (where.outcome != RecordLookup::Outcome::found) {
        printError(cannotReadSong(songNumber, describe(where.outcome)));
        return kExitFailure;
    }
    std::vector<std::uint8_t> record;
    if (!database.readRecord(where, record)) {
        printError(cannotReadSong(songNumber, couldNotRead(kSongDataFile)));
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
        printError(cannotReadSong(songNumber, describe(error)));
        return kExitFailure;
    }
    printText(text);
    return kExitSuccess;
}

int runListCommand(const std::filesystem::path& databaseFolder) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    database.loadIndex();
    // Names are optional: without name.idx or name.tab every name is empty.
    RandomAccessFile nameIndexFile;
    RandomAccessFile nameTable;
    nameIndexFile.open(databaseFolder / kNameIndexFile);
    nameTable.open(databaseFolder / kNameTableFile);
    const std::vector<std::uint8_t> nameIndex = readNameIndex(nameIndexFile);

    std::vector<std::uint8_t> name;
    const std::int32_t first = database.firstSong();
    for (std::int32_t i = 0; i < database.songCount(); ++i) {
        const std::int32_t song = first + i;
        const RecordLookup::Outcome outcome = database.locate(song).outcome;
        // A record that runs past SONG.DAT's end is still listed: converting it
        // says what is wrong with it.
        if (outcome != RecordLookup::Outcome::found &&
            outcome != RecordLookup::Outcome::pastDataEnd) {
            continue;
        }
        name.clear();
        if (const auto where = locateName(nameIndex, song, nameTable.size());
            where && nameTable.isOpen()) {
            name.resize(static_cast<std::size_t>(where->length));
            if (!nameTable.readAt(where->offset, name)) name.clear();
        }
        printLine(formatListLine(song, name));
    }
    return kExitSuccess;
}

}  // namespace kdb2mid
