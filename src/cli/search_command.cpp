// `kdb2mid search`: songs by words of their names and titles.
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/database_search.hpp"
#include "search/song_search.hpp"

namespace kdb2mid {

CommandRun addSearchCommand(CLI::App& search) {
    struct Arguments {
        SearchRequest request;
        std::string database;
        std::string limit;
    };
    auto a = std::make_shared<Arguments>();
    search.add_option("WORDS", a->request.words, help::kSearchWords)
        ->type_name("WORD")
        ->required();
    addDatabaseOption(search, a->database);
    search.add_option("--limit", a->limit, help::kSearchLimit)
        ->type_name("N")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return parseSearchLimit(text) ? std::string{} : help::notCount(text);
            },
            ""));
    search.footer(help::kSearchFooter);
    return [a, &search] {
        if (searchQuery(a->request.words).empty()) return usageError(search, help::kSearchNoWords);
        a->request.databaseFolder = pathFromArgument(a->database);
        a->request.limit = parseSearchLimit(a->limit).value_or(0);
        return searchDatabase(a->request, consoleSink()) ? kExitSuccess : kExitFailure;
    };
}

}  // namespace kdb2mid
