// `kdb2mid list`: every song that has a record, by number or by title.
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/song_list.hpp"
#include "messages/songbook_messages.hpp"

#ifdef KDB2MID_HAVE_SONGBOOK
#include "songbook/songbook_module.hpp"
#endif

namespace kdb2mid {

namespace {

// Sorting by title is the song book module's (ICU's) work: loaded here,
// before the database is read, so that a missing module stops the listing.
int runList(const std::filesystem::path& folder, OutputForm form, bool byTitle) {
    TitleSort sort;
    if (byTitle) {
#ifdef KDB2MID_HAVE_SONGBOOK
        std::string why;
        const SongbookModule* module = songbookModule(why);
        if (module == nullptr) {
            printError(bookModuleMissing(why));
            return kExitFailure;
        }
        sort = [module](const std::vector<std::string>& names, std::vector<std::size_t>& order) {
            return module->sortTitles(names, order, nullptr);
        };
#else
        return usageError("list", kSortNotBuilt);
#endif
    }
    return listDatabase(folder, form, sort, consoleSink()) ? kExitSuccess : kExitFailure;
}

}  // namespace

CommandRun addListCommand(CLI::App& list) {
    struct Arguments {
        std::string database;
        bool json = false;
        std::string sort = "number";
    };
    auto a = std::make_shared<Arguments>();
    addDatabaseOption(list, a->database);
    list.add_flag("--json", a->json, help::kListJson);
    list.add_option("--sort", a->sort, help::kListSort)
        ->type_name("ORDER")
        ->check(CLI::IsMember({"number", "title"}));
    return [a] {
        return runList(pathFromArgument(a->database), a->json ? OutputForm::json : OutputForm::text,
                       a->sort == "title");
    };
}

}  // namespace kdb2mid
