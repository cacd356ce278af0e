// `kdb2mid info` and `kdb2mid list`: looking at a database before converting.
// Each prints what it found on standard output, a failure line on standard
// error (so that a redirected listing holds only songs), and returns the exit
// status.
#pragma once

#include <cstdint>
#include <filesystem>

namespace kdb2mid {

// Titles, tracks, length, lyrics and chorus recordings of one song.
int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder);

// "<number>\t<name>" for every song that has a record.
int runListCommand(const std::filesystem::path& databaseFolder);

}  // namespace kdb2mid
