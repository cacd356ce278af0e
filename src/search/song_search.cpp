#include "search/song_search.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "search/search_text.hpp"

namespace kdb2mid {

namespace {

struct WordMatch {
    bool found = false;
    bool whole = false;
};

// Whether word starts some word of folded text (words one space apart), and
// whether it is one of them whole.
WordMatch findWord(std::string_view folded, std::string_view word) {
    WordMatch match;
    std::size_t pos = 0;
    while (pos < folded.size()) {
        std::size_t end = folded.find(' ', pos);
        if (end == std::string_view::npos) end = folded.size();
        const std::string_view candidate = folded.substr(pos, end - pos);
        if (candidate.starts_with(word)) {
            match.found = true;
            if (candidate.size() == word.size()) {
                match.whole = true;
                return match;
            }
        }
        pos = end + 1;
    }
    return match;
}

}  // namespace

std::vector<std::string> searchQuery(std::span<const std::string> arguments) {
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        const std::string folded = foldForSearch(argument);
        for (const std::string_view word : foldedWords(folded)) words.emplace_back(word);
    }
    return words;
}

std::optional<MatchKind> matchWords(std::string_view foldedSong,
                                    std::span<const std::string> query) {
    if (query.empty()) return std::nullopt;
    bool whole = true;
    for (const std::string& word : query) {
        const WordMatch match = findWord(foldedSong, word);
        if (!match.found) return std::nullopt;
        whole = whole && match.whole;
    }
    return whole ? MatchKind::whole : MatchKind::prefix;
}

namespace {

void foldedEntry(const CatalogueEntry& entry, std::string& folded) {
    folded.clear();
    appendFolded(entry.name, folded);
    for (const std::string& title : entry.titles) appendFolded(title, folded);
}

// The matches in search order: whole-word matches first, then prefix
// matches, each in song-number order, at most limit. foldedAt(i) is entry
// i's folded text.
template <typename FoldedAt>
std::vector<SearchMatch> orderedMatches(std::span<const CatalogueEntry> entries,
                                        std::span<const std::string> query, std::size_t limit,
                                        FoldedAt foldedAt) {
    std::vector<SearchMatch> whole;
    std::vector<SearchMatch> prefix;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::optional<MatchKind> kind = matchWords(foldedAt(i), query);
        if (!kind) continue;
        (*kind == MatchKind::whole ? whole : prefix).push_back({i, *kind});
    }
    const auto bySong = [entries](const SearchMatch& a, const SearchMatch& b) {
        return entries[a.entry].song < entries[b.entry].song;
    };
    // The catalogue is in song order already; a sort that keeps equal songs
    // in place costs nothing then and holds the order for any other.
    std::stable_sort(whole.begin(), whole.end(), bySong);
    std::stable_sort(prefix.begin(), prefix.end(), bySong);
    whole.insert(whole.end(), prefix.begin(), prefix.end());
    if (whole.size() > limit) whole.resize(limit);
    return whole;
}

}  // namespace

std::vector<SearchMatch> searchCatalogue(std::span<const CatalogueEntry> entries,
                                         std::span<const std::string> query, std::size_t limit) {
    std::string folded;
    return orderedMatches(entries, query, limit,
                          [&](std::size_t i) -> const std::string& {
                              foldedEntry(entries[i], folded);
                              return folded;
                          });
}

std::vector<std::string> foldCatalogue(std::span<const CatalogueEntry> entries) {
    std::vector<std::string> folded;
    folded.reserve(entries.size());
    std::string scratch;
    for (const CatalogueEntry& entry : entries) {
        foldedEntry(entry, scratch);
        folded.push_back(scratch);
    }
    return folded;
}

std::vector<SearchMatch> searchFolded(std::span<const std::string> folded,
                                      std::span<const CatalogueEntry> entries,
                                      std::span<const std::string> query, std::size_t limit) {
    return orderedMatches(entries, query, limit,
                          [&](std::size_t i) -> const std::string& { return folded[i]; });
}

std::string searchLine(const CatalogueEntry& entry) {
    return std::to_string(entry.song) + "\t" + entry.name;
}

std::optional<std::size_t> parseSearchLimit(std::string_view text) noexcept {
    std::size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || value == 0) return std::nullopt;
    return value;
}

}  // namespace kdb2mid
