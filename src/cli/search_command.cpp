#include "cli/inspect_commands.hpp"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "messages/messages.hpp"
#include "search/catalogue_store.hpp"
#include "search/song_search.hpp"

namespace kdb2mid {

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

Subcommand addSearchCommand(CLI::App& app) {
    struct Arguments {
        SearchRequest request;
        std::string database;
        std::string limit;
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* search = app.add_subcommand("search", help::kSearch);
    search->add_option("WORDS", a->request.words, help::kSearchWords)
        ->type_name("WORD")
        ->required();
    addDatabaseOption(*search, a->database);
    search->add_option("--limit", a->limit, help::kSearchLimit)
        ->type_name("N")
        ->check(kCount);
    search->footer(help::kSearchFooter);
    return {search, [a, search] {
                if (searchQuery(a->request.words).empty()) {
                    return usageError(*search, help::kSearchNoWords);
                }
                a->request.databaseFolder = pathFromArgument(a->database);
                if (!a->limit.empty()) a->request.limit = countFromArgument(a->limit);
                return runSearchCommand(a->request);
            }};
}

}  // namespace kdb2mid
