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
#include "messages/songbook_messages.hpp"

#ifdef KDB2MID_HAVE_SONGBOOK
#include "songbook/songbook_module.hpp"
#endif

namespace kdb2mid {

namespace {

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

int runListCommand(const std::filesystem::path& databaseFolder, OutputForm form, ListOrder order) {
#ifdef KDB2MID_HAVE_SONGBOOK
    // Sorting by title is the song book module's (ICU's) work.
    const SongbookModule* module = nullptr;
    if (order == ListOrder::title) {
        std::string why;
        module = songbookModule(why);
        if (module == nullptr) {
            printError(bookModuleMissing(why));
            return kExitFailure;
        }
    }
#else
    if (order == ListOrder::title) {
        printError(std::string("list: ") + kSortNotBuilt);
        return kExitUsage;
    }
#endif
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    NameFiles names;
    openNameFiles(databaseFolder, names);
    for (const std::string& notice : names.notices) printError(notice);
    // Sorted, the lines are held until every name is known; by number each
    // is printed as it comes.
    std::vector<std::string> lines;
    std::vector<std::string> sortNames;
    listSongs(database, names.index, names.table, [&](const ListedSong& listed) {
        const std::string name(trimSpaces(decodeVniToUtf8(listed.name)));
        std::string line;
        if (form == OutputForm::json) {
            line = listJson(listed.song, name);
        } else if (listed.fromNameTable) {
            line = formatListLine(listed.song, listed.name);
        } else {
            // The title as search shows it.
            line = std::to_string(listed.song) + "\t" + catalogueText(listed.name);
        }
        if (order == ListOrder::number) {
            printLine(line);
            return;
        }
        lines.push_back(std::move(line));
        sortNames.push_back(name);
    });
#ifdef KDB2MID_HAVE_SONGBOOK
    if (module != nullptr) {
        std::vector<std::size_t> sorted;
        if (!module->sortTitles(sortNames, sorted, nullptr)) {
            printError(kBookNoCollation);
            return kExitFailure;
        }
        for (const std::size_t at : sorted) printLine(lines[at]);
    }
#endif
    return names.refused ? kExitFailure : kExitSuccess;
}

Subcommand addListCommand(CLI::App& app) {
    struct Arguments {
        std::string database;
        bool json = false;
        std::string sort = "number";
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* list = app.add_subcommand("list", help::kList);
    addDatabaseOption(*list, a->database);
    list->add_flag("--json", a->json, help::kListJson);
    list->add_option("--sort", a->sort, help::kListSort)
        ->type_name("ORDER")
        ->check(CLI::IsMember({"number", "title"}));
    return {list, [a] {
                return runListCommand(pathFromArgument(a->database),
                                      a->json ? OutputForm::json : OutputForm::text,
                                      a->sort == "title" ? ListOrder::title : ListOrder::number);
            }};
}

}  // namespace kdb2mid
