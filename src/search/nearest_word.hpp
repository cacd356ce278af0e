// The word of a short list that someone most likely meant when they typed
// one that is not on it: the command or option for "did you mean".
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kdb2mid {

// Letters to insert, delete or replace to turn a into b (Levenshtein), on bytes.
std::size_t editDistance(std::string_view a, std::string_view b);

// The word closest to typed, if it is close enough to be a slip of the
// fingers: at most two edits, and fewer than half of typed's letters; else
// the first word that starts with typed (three letters or more). The first
// of equally close words wins.
std::optional<std::string_view> nearestWord(std::string_view typed,
                                            std::span<const std::string_view> words);

}  // namespace kdb2mid
