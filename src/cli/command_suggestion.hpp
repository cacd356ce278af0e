// What to tell someone who typed a command that does not exist: the command
// they most likely meant.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kdb2mid {

// Letters to insert, delete or replace to turn a into b (Levenshtein), on bytes.
std::size_t editDistance(std::string_view a, std::string_view b);

// The command closest to typed, if it is close enough to be a slip of the
// fingers: at most two edits, and fewer than half of typed's letters; else
// the first command that starts with typed (three letters or more). The
// first of equally close commands wins.
std::optional<std::string_view> nearestCommand(std::string_view typed,
                                               std::span<const std::string_view> commands);

}  // namespace kdb2mid
