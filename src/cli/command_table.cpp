#include "cli/command_table.hpp"

#include <array>

namespace kdb2mid {

// Each command's file defines its add function.
Subcommand addConvertCommand(CLI::App& app);
Subcommand addInfoCommand(CLI::App& app);
Subcommand addListCommand(CLI::App& app);
Subcommand addSearchCommand(CLI::App& app);
Subcommand addSongbookCommand(CLI::App& app);
Subcommand addNamesCommand(CLI::App& app);
Subcommand addChorusIndexCommand(CLI::App& app);
Subcommand addLegacyCommand(CLI::App& app);
#ifdef KDB2MID_HAVE_SERVE
Subcommand addServeCommand(CLI::App& app);
#endif

namespace {

// In the order --help lists them.
constexpr std::array kCommands = {
    CommandRow{"convert", addConvertCommand},
    CommandRow{"info", addInfoCommand},
    CommandRow{"list", addListCommand},
    CommandRow{"search", addSearchCommand},
    CommandRow{"names", addNamesCommand},
    CommandRow{"chorus-index", addChorusIndexCommand},
    CommandRow{"legacy", addLegacyCommand},
    CommandRow{"songbook", addSongbookCommand},
#ifdef KDB2MID_HAVE_SERVE
    CommandRow{"serve", addServeCommand},
#endif
};

}  // namespace

std::span<const CommandRow> commandTable() { return kCommands; }

}  // namespace kdb2mid
