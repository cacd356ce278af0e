// The subcommands, one row each. The parser's subcommands, their --help
// summaries, the usage line, "did you mean", the dispatch and the bash
// completion's lists all come from this table, so a new command is its own
// file and one row here.
#pragma once

#include <CLI/CLI.hpp>

#include <span>
#include <string_view>

#include "cli/subcommand.hpp"

namespace kdb2mid {

struct CommandRow {
    std::string_view name;  // as typed: kdb2mid NAME ...
    const char* summary;    // its line in kdb2mid --help
    // Adds the command's arguments, options and footer to its entry in the
    // parser; returns how to run it once they are parsed.
    CommandRun (*add)(CLI::App& command);
};

std::span<const CommandRow> commandTable();

}  // namespace kdb2mid
