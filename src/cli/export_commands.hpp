// The auxiliary exports as the command line runs them: each opens its inputs,
// writes its output, prints its notices and failure lines on standard output
// and returns the exit status (0 done, 1 after a failure line).
#pragma once

#include <cstdint>
#include <filesystem>

namespace kdb2mid {

// name.idx + name.tab in folder -> folder/Output.txt
int runNamesCommand(const std::filesystem::path& folder);

// folder/CRS&TCK.IDX -> folder/index.txt
int runChorusIndexCommand(const std::filesystem::path& folder);

// root/9703/song.idx + root/9703/song.dat -> root/<songNumber>.dat
int runLegacyCommand(std::int32_t songNumber, const std::filesystem::path& root);

// The legacy database's root when --root is not given.
std::filesystem::path defaultLegacyRoot();

}  // namespace kdb2mid
