// Temporary names for outputs that a library writes by name itself.
#pragma once

#include <filesystem>

namespace kdb2mid {

// A name beside finalPath for an output that a library writes by its own
// name (a muxer that reopens its file to move the index to the front): the
// form AtomicOutputFile's temporary files have (io/file_io.hpp), so that
// removeStaleTemporaries clears what a killed run left. The caller renames
// it into place or removes it.
std::filesystem::path temporaryOutputName(const std::filesystem::path& finalPath);

}  // namespace kdb2mid
