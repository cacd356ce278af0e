// The kdb2mid command line: what each argument form runs and its exit status.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "cli/exit_status.hpp"
#include "convert/song_plan.hpp"

namespace kdb2mid {

// Converts one song of the database in the current directory into the
// current directory, printing failure lines on standard output.
int runSingleSong(std::int32_t songNumber);

// The whole command line (arguments in UTF-8, the program's name first);
// returns the exit status. `kdb2mid SONG` is runSingleSong(); a first
// argument that names a subcommand (convert, info, list, search, names,
// chorus-index, legacy) or is an option (--help, --version) goes to the
// argument parser.
int runCommandLine(std::span<const char* const> args);

}  // namespace kdb2mid
