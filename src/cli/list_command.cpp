#include "cli/inspect_commands.hpp"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/song_json.hpp"
#include "cli/song_list.hpp"
#include "format/vni_text.hpp"
#include "inspect/song_list.hpp"
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
    NameFiles names;
    openNameFiles(databaseFolder, names);
    for (const std::string& notice : names.notices) printError(notice);
    listSongs(database, names.index, names.table, [form](const ListedSong& listed) {
        if (form == OutputForm::json) {
            printLine(listJson(listed.song, trimSpaces(decodeVniToUtf8(listed.name))));
        } else if (listed.fromNameTable) {
            printLine(formatListLine(listed.song, listed.name));
        } else {
            // The title as search shows it.
            printLine(std::to_string(listed.song) + "\t" + catalogueText(listed.name));
        }
    });
    return names.refused ? kExitFailure : kExitSuccess;
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
