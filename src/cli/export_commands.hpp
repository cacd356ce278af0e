// The auxiliary exports as the command line runs them: each opens its inputs,
// writes its output, prints its notices and failure lines on standard output
// and returns the exit status (0 done, 1 after a failure line). An input that
// does not open prints "Failed to open file", and on standard error which file
// and why. An empty folder is the current one.
#pragma once

#include <cstdint>
#include <filesystem>

namespace kdb2mid {

// name.idx + name.tab in folder -> outFolder/Output.txt
int runNamesCommand(const std::filesystem::path& folder, const std::filesystem::path& outFolder);

// folder/CRS&TCK.IDX -> outFolder/index.txt
int runChorusIndexCommand(const std::filesystem::path& folder,
                          const std::filesystem::path& outFolder);

// root/9703/song.idx + root/9703/song.dat -> outFolder/<songNumber>.dat
int runLegacyCommand(std::int32_t songNumber, const std::filesystem::path& root,
                     const std::filesystem::path& outFolder);

// The legacy database's root when --root is not given.
std::filesystem::path defaultLegacyRoot();

}  // namespace kdb2mid
