// Finding songs by words of their name or titles, the way people type them:
// without marks, in any case, in any order, the start of a word being enough.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search/catalogue.hpp"

namespace kdb2mid {

// How a song's words meet the query: every query word is a whole word of the
// song, or at least one is only the start of one.
enum class MatchKind : std::uint8_t { whole, prefix };

struct SearchMatch {
    std::size_t entry;  // index into the catalogue searched
    MatchKind kind;
};

inline constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

// A --limit: a count of at least 1, in decimal digits only.
std::optional<std::size_t> parseSearchLimit(std::string_view text) noexcept;

// The query words of the command's arguments, each folded and split where it
// holds more than one word ("Trống-cơm" gives "trong", "com"). Empty when
// no argument holds a letter or digit.
std::vector<std::string> searchQuery(std::span<const std::string> arguments);

// How the words of folded song text (see foldForSearch) meet the query
// words; nothing when some query word starts none of them. An empty query
// matches nothing.
std::optional<MatchKind> matchWords(std::string_view foldedSong,
                                    std::span<const std::string> query);

// The songs whose name and titles together meet every query word: whole-word
// matches first, then prefix matches, each in song-number order, at most
// limit of them.
std::vector<SearchMatch> searchCatalogue(std::span<const CatalogueEntry> entries,
                                         std::span<const std::string> query,
                                         std::size_t limit = kNoLimit);

// The text searchCatalogue compares for every entry (its name and titles,
// folded), made once for a server that searches the same catalogue many
// times.
std::vector<std::string> foldCatalogue(std::span<const CatalogueEntry> entries);

// searchCatalogue over that text: the same songs in the same order. folded
// is foldCatalogue(entries).
std::vector<SearchMatch> searchFolded(std::span<const std::string> folded,
                                      std::span<const CatalogueEntry> entries,
                                      std::span<const std::string> query,
                                      std::size_t limit = kNoLimit);

// "<number>\t<name>" without a line end: one line of the search's output.
std::string searchLine(const CatalogueEntry& entry);

}  // namespace kdb2mid
