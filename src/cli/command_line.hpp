// The kdb2mid command line: what each argument form runs and its exit status.
#pragma once

#include <span>

#include "cli/exit_status.hpp"

namespace kdb2mid {

// The whole command line (arguments in UTF-8, the program's name first);
// returns the exit status. `kdb2mid SONG` converts one song of the database
// in the current folder into the current folder; a first argument that names
// a subcommand of cli/command_table.hpp or is an option (--help, --version)
// goes to the argument parser.
int runCommandLine(std::span<const char* const> args);

}  // namespace kdb2mid
