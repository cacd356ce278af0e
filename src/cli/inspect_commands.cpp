#include "cli/inspect_commands.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "cli/song_info.hpp"
#include "cli/song_json.hpp"
#include "cli/song_list.hpp"
#include "inspect/song_facts.hpp"
#include "inspect/song_list.hpp"
#include "format/database_layout.hpp"
#include "format/display_text.hpp"
#include "format/export_layout.hpp"
#include "format/name_index.hpp"
#include "format/vni_text.hpp"
#include "io/interruption.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"
#include "search/catalogue.hpp"
#include "search/catalogue_store.hpp"
#include "search/song_search.hpp"

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

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Runs the info command's reading and decoding; out of memory is the caller's.
int describeStoredSong(std::int32_t songNumber, const SongDatabase& database, OutputForm form) {
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
    SongFacts facts;
    const RecordError error = gatherSongFacts(songNumber, record, chorus, song, facts);
    if (error != RecordError::none) {
        printError(cannotReadSong(songNumber, describe(error)));
        return kExitFailure;
    }
    const std::string text = form == OutputForm::json ? infoJson(facts) + "\n" : infoReport(facts);
    printText(text);
    return kExitSuccess;
}

}  // namespace

int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder,
                   OutputForm form) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    try {
        return describeStoredSong(songNumber, database, form);
    } catch (const std::bad_alloc&) {
        printError(cannotReadSong(songNumber, "out of memory"));
        return kExitFailure;
    }
}

int runListCommand(const std::filesystem::path& databaseFolder, OutputForm form) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    // Names are optional: a song name.tab does not name is listed under its
    // first title. Something there that is no regular file is refused (a FIFO
    // would block), and said so.
    int status = kExitSuccess;
    RandomAccessFile nameIndexFile;
    RandomAccessFile nameTable;
    const bool nameIndexPresent = nameIndexFile.open(databaseFolder / kNameIndexFile);
    const bool nameTablePresent = nameTable.open(databaseFolder / kNameTableFile);
    for (auto [file, name] : {std::pair{&nameIndexFile, kNameIndexFile},
                              std::pair{&nameTable, kNameTableFile}}) {
        if (file->notRegularFile()) {
            printError(notRegularFile(name));
            status = kExitFailure;
        }
    }
    if (!nameIndexPresent || !nameTablePresent) {
        printError(songNamesMissing(databaseFolder, nameIndexPresent, nameTablePresent));
    }
    listSongs(database, nameIndexFile, nameTable, [form](const ListedSong& listed) {
        if (form == OutputForm::json) {
            printLine(listJson(listed.song, trimSpaces(decodeVniToUtf8(listed.name))));
        } else if (listed.fromNameTable) {
            printLine(formatListLine(listed.song, listed.name));
        } else {
            // The title as search shows it.
            printLine(std::to_string(listed.song) + "\t" + catalogueText(listed.name));
        }
    });
    return status;
}

int runSearchCommand(const SearchRequest& request) {
    const std::vector<std::string> query = searchQuery(request.words);
    if (query.empty()) return kExitUsage;
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, request.databaseFolder));
        return kExitFailure;
    }
    const CatalogueLoad load = loadCatalogue(database, searchCacheFolder());
    if (load.outOfMemory) {
        printError(kCatalogueTooLarge);
        return kExitFailure;
    }
    const std::vector<SearchMatch> matches = searchCatalogue(
        load.entries, query, request.limit == 0 ? kNoLimit : request.limit);
    std::string out;
    for (const SearchMatch& match : matches) {
        out += searchLine(load.entries[match.entry]);
        out += '\n';
    }
    printText(out);
    return matches.empty() ? kExitFailure : kExitSuccess;
}

Subcommand addInfoCommand(CLI::App& app) {
    struct Arguments {
        std::string song;
        std::string database;
        bool json = false;
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* info = app.add_subcommand(
        "info", "Show a song's titles, tracks, length, melody, lyrics and chorus recordings");
    info->add_option("SONG", a->song, "Song number")->type_name("SONG")->required()->check(kSongNumber);
    addDatabaseOption(*info, a->database);
    info->add_flag("--json", a->json, "One JSON object instead of the report");
    return {info, [a] {
                return runInfoCommand(songFromArgument(a->song), pathFromArgument(a->database),
                                      a->json ? OutputForm::json : OutputForm::text);
            }};
}

Subcommand addListCommand(CLI::App& app) {
    auto a = std::make_shared<std::pair<std::string, bool>>("", false);
    CLI::App* list =
        app.add_subcommand("list", "List the songs that have a record: number, tab, name");
    addDatabaseOption(*list, a->first);
    list->add_flag("--json", a->second, "One JSON object per song and line: song, name");
    return {list, [a] {
                return runListCommand(pathFromArgument(a->first),
                                      a->second ? OutputForm::json : OutputForm::text);
            }};
}

Subcommand addSearchCommand(CLI::App& app) {
    struct Arguments {
        SearchRequest request;
        std::string database;
        std::string limit;
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* search = app.add_subcommand(
        "search", "Find songs by words of their name or titles, with or without marks");
    search->add_option("WORDS", a->request.words, "Words each song must hold, or their starts")
        ->type_name("WORD")
        ->required();
    addDatabaseOption(*search, a->database);
    search->add_option("--limit", a->limit, "Print at most N songs, the best ones")
        ->type_name("N")
        ->check(kCount);
    search->footer(
        "Names and titles are kept in $XDG_CACHE_HOME/kdb2mid (default ~/.cache/kdb2mid) and\n"
        "read again from there until a database file changes.\n"
        "Exit status: 0 with matches, 1 without or after a failure line, 2 for a usage error.");
    return {search, [a, search] {
                if (searchQuery(a->request.words).empty()) {
                    return usageError(*search, "give words with letters or digits to search for");
                }
                a->request.databaseFolder = pathFromArgument(a->database);
                if (!a->limit.empty()) a->request.limit = countFromArgument(a->limit);
                return runSearchCommand(a->request);
            }};
}

}  // namespace kdb2mid
