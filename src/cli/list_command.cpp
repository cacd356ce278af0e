#include "cli/inspect_commands.hpp"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "cli/song_json.hpp"
#include "cli/song_list.hpp"
#include "format/export_layout.hpp"
#include "format/vni_text.hpp"
#include "inspect/song_list.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"
#include "search/catalogue.hpp"

namespace kdb2mid {

namespace {

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

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

}  // namespace kdb2mid
