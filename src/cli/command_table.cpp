#include "cli/command_table.hpp"

#include <array>

#include "messages/command_help.hpp"
#include "messages/serve_messages.hpp"

namespace kdb2mid {

// Each command's file defines its add function.
CommandRun addConvertCommand(CLI::App& command);
CommandRun addInfoCommand(CLI::App& command);
CommandRun addListCommand(CLI::App& command);
CommandRun addSearchCommand(CLI::App& command);
CommandRun addNamesCommand(CLI::App& command);
CommandRun addChorusIndexCommand(CLI::App& command);
CommandRun addLegacyCommand(CLI::App& command);
CommandRun addSongbookCommand(CLI::App& command);
CommandRun addServeCommand(CLI::App& command);

namespace {

// In the order --help lists them.
constexpr std::array kCommands = {
    CommandRow{"convert", help::kConvert, addConvertCommand},
    CommandRow{"info", help::kInfo, addInfoCommand},
    CommandRow{"list", help::kList, addListCommand},
    CommandRow{"search", help::kSearch, addSearchCommand},
    CommandRow{"names", help::kNames, addNamesCommand},
    CommandRow{"chorus-index", help::kChorusIndex, addChorusIndexCommand},
    CommandRow{"legacy", help::kLegacy, addLegacyCommand},
    CommandRow{"songbook", help::kSongbook, addSongbookCommand},
#ifdef KDB2MID_HAVE_SERVE
    CommandRow{"serve", help::kServe, addServeCommand},
#endif
};

}  // namespace

std::span<const CommandRow> commandTable() { return kCommands; }

}  // namespace kdb2mid
