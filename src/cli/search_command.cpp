// `kdb2mid search`: songs by words of their names and titles.
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/database_search.hpp"
#include "search/song_search.hpp"

namespace kdb2mid {

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
    search->add_option("--limit", a->limit, help::kSearchLimit)->type_name("N")->check(kCount);
    search->footer(help::kSearchFooter);
    return {search, [a, search] {
                if (searchQuery(a->request.words).empty()) {
                    return usageError(*search, help::kSearchNoWords);
                }
                a->request.databaseFolder = pathFromArgument(a->database);
                if (!a->limit.empty()) a->request.limit = countFromArgument(a->limit);
                return searchDatabase(a->request, consoleSink()) ? kExitSuccess : kExitFailure;
            }};
}

}  // namespace kdb2mid
