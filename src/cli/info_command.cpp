// `kdb2mid info`: one song's facts, as a report or JSON.
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "inspect/song_report.hpp"

namespace kdb2mid {

CommandRun addInfoCommand(CLI::App& info) {
    struct Arguments {
        std::string song;
        std::string database;
        bool json = false;
    };
    auto a = std::make_shared<Arguments>();
    info.add_option("SONG", a->song, help::kSong)->type_name("SONG")->required()->check(kSongNumber);
    addDatabaseOption(info, a->database);
    info.add_flag("--json", a->json, help::kInfoJson);
    return [a] {
        return showSongInfo(pathFromArgument(a->database), songFromArgument(a->song),
                            a->json ? OutputForm::json : OutputForm::text, consoleSink())
                   ? kExitSuccess
                   : kExitFailure;
    };
}

}  // namespace kdb2mid
