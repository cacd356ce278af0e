// `kdb2mid songbook`: every song of a database as a printable PDF or a
// searchable HTML page, in Vietnamese alphabetical order.
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "messages/songbook_messages.hpp"

#ifdef KDB2MID_HAVE_SONGBOOK
#include "songbook/songbook.hpp"
#endif

namespace kdb2mid {

namespace {

struct SongbookArguments {
    std::string database;
    std::string output;
    std::string title;
    std::string paper = "a4";
    std::string by = "title,artist";
    std::string format;
};

#ifdef KDB2MID_HAVE_SONGBOOK
int runSongbook(const CLI::App& command, const SongbookArguments& a) {
    const std::filesystem::path output = pathFromArgument(a.output);
    SongbookRequest request;
    if (!a.format.empty()) {
        request.format = a.format == "html" ? BookFormat::html : BookFormat::pdf;
    } else if (const auto format = bookFormatOf(output)) {
        request.format = *format;
    } else {
        return usageError(command, bookFormatUnknown(a.output));
    }
    request.settings.title = a.title;
    request.settings.paper = a.paper == "letter" ? Paper::letter : Paper::a4;
    request.settings.sections = parseBookSections(a.by).value_or(std::vector<BookSection>{});
    return writeSongbook(pathFromArgument(a.database), request, output, consoleSink())
               ? kExitSuccess
               : kExitFailure;
}

const CLI::Validator kBookSections(
    [](const std::string& text) {
        return parseBookSections(text) ? std::string{} : help::notBookSections(text);
    },
    "");
#else
int runSongbook(const CLI::App& command, const SongbookArguments&) {
    return usageError(command, kBookNotBuilt);
}

const CLI::Validator kBookSections([](const std::string&) { return std::string{}; }, "");
#endif

}  // namespace

CommandRun addSongbookCommand(CLI::App& songbook) {
    auto a = std::make_shared<SongbookArguments>();
    addDatabaseOption(songbook, a->database);
    songbook.add_option("-o,--output", a->output, help::kSongbookOutput)
        ->type_name("FILE")
        ->required();
    songbook.add_option("--title", a->title, help::songbookTitle(kBookDefaultTitle))
        ->type_name("TEXT");
    songbook.add_option("--paper", a->paper, help::kSongbookPaper)
        ->type_name("SIZE")
        ->check(CLI::IsMember({"a4", "letter"}));
    songbook.add_option("--by", a->by, help::kSongbookBy)
        ->type_name("LIST")
        ->check(kBookSections);
    songbook.add_option("--format", a->format, help::kSongbookFormat)
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"pdf", "html"}));
    songbook.footer(std::string(help::kSongbookFooter) + help::kExitStatuses);
    return [a, &songbook] { return runSongbook(songbook, *a); };
}

}  // namespace kdb2mid
