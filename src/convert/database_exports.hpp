// The auxiliary exports of a database folder, from opening their inputs to
// the finished file: the song-name list, the chorus index as text and one
// raw record of the older database. Each writes its output complete or not
// at all and returns what its user is told. An input that does not open
// gives "Failed to open file", and for standard error which file and why.
// An empty folder is the current one.
#pragma once

#include <cstdint>
#include <filesystem>

#include "convert/command_report.hpp"

namespace kdb2mid {

// name.idx + name.tab in folder -> outFolder/Output.txt
CommandReport writeSongNameList(const std::filesystem::path& folder,
                               const std::filesystem::path& outFolder);

// folder/CRS&TCK.IDX -> outFolder/index.txt
CommandReport writeChorusIndexText(const std::filesystem::path& folder,
                                  const std::filesystem::path& outFolder);

// root/9703/song.idx + root/9703/song.dat -> outFolder/<songNumber>.dat
CommandReport writeLegacyRecord(std::int32_t songNumber, const std::filesystem::path& root,
                               const std::filesystem::path& outFolder);

// The older database's root when neither --root nor -C is given.
std::filesystem::path defaultLegacyRoot();

}  // namespace kdb2mid
