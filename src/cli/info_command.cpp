#include "cli/inspect_commands.hpp"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/song_report.hpp"
#include "inspect/song_json.hpp"
#include "inspect/song_facts.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder,
                   OutputForm form) {
    SongDatabase database;
    if (const auto error = database.open(databaseFolder); error != SongDatabase::OpenError::none) {
        printError(databaseOpenFailure(error, databaseFolder));
        return kExitFailure;
    }
    try {
        SongFacts facts;
        if (const std::string why = readSongFacts(database, songNumber, facts); !why.empty()) {
            printError(cannotReadSong(songNumber, why));
            return kExitFailure;
        }
        printText(form == OutputForm::json ? infoJson(facts) + "\n" : infoReport(facts));
        return kExitSuccess;
    } catch (const std::bad_alloc&) {
        printError(cannotReadSong(songNumber, help::kOutOfMemory));
        return kExitFailure;
    }
}

Subcommand addInfoCommand(CLI::App& app) {
    struct Arguments {
        std::string song;
        std::string database;
        bool json = false;
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* info = app.add_subcommand("info", help::kInfo);
    info->add_option("SONG", a->song, help::kSong)->type_name("SONG")->required()->check(kSongNumber);
    addDatabaseOption(*info, a->database);
    info->add_flag("--json", a->json, help::kInfoJson);
    return {info, [a] {
                return runInfoCommand(songFromArgument(a->song), pathFromArgument(a->database),
                                      a->json ? OutputForm::json : OutputForm::text);
            }};
}

}  // namespace kdb2mid
