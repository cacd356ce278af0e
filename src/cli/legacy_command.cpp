// `kdb2mid legacy`: one raw record of the older database.
#include <memory>
#include <string>

#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

struct LegacyArguments {
    std::string song;
    std::string database;
    std::string root;
    std::string output;
    CLI::Option* databaseOption = nullptr;
};

}  // namespace

CommandRun addLegacyCommand(CLI::App& legacy) {
    auto a = std::make_shared<LegacyArguments>();
    const std::string legacyDefault = defaultLegacyRoot().empty()
                                          ? std::string(help::kLegacyCurrentFolder)
                                          : displayName(defaultLegacyRoot());
    legacy.footer(help::legacyFooter(legacyDefault));
    legacy.add_option("SONG", a->song, help::kSong)
        ->type_name("SONG")
        ->required()
        ->check(kSongNumber);
    a->databaseOption = addDatabaseOption(legacy, a->database)
                            ->description(help::kLegacyDatabase);
    legacy.add_option("--root", a->root, help::legacyRoot(legacyDefault))
        ->type_name("DIR")
        ->excludes(a->databaseOption);
    addOutputOption(legacy, a->output, help::kLegacyOutput);
    return [a] {
        // --root, and no option at all, write the record into the root as
        // they always have; -C reads from a folder like every other command.
        const bool byDatabase = a->databaseOption->count() > 0;
        const std::filesystem::path root =
            byDatabase ? pathFromArgument(a->database)
                       : (a->root.empty() ? defaultLegacyRoot() : pathFromArgument(a->root));
        std::filesystem::path output = pathFromArgument(a->output);
        if (a->output.empty() && !byDatabase) output = root;
        return printReport(writeLegacyRecord(songFromArgument(a->song), root, output));
    };
}

}  // namespace kdb2mid
