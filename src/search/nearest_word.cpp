#include "search/nearest_word.hpp"

#include <algorithm>
#include <numeric>
#include <vector>

namespace kdb2mid {

namespace {

// Anything longer is no word of the list; the table stays small whatever was typed.
constexpr std::size_t kLongestCompared = 64;
constexpr std::size_t kMostEdits = 2;
constexpr std::size_t kShortestPrefix = 3;

}  // namespace

std::size_t editDistance(std::string_view a, std::string_view b) {
    // One row of the table at a time: row[j] is the distance between the
    // part of a read so far and the first j letters of b.
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::optional<std::string_view> nearestWord(std::string_view typed,
                                            std::span<const std::string_view> words) {
    if (typed.empty() || typed.size() > kLongestCompared) return std::nullopt;
    std::optional<std::string_view> best;
    std::size_t bestDistance = std::min(kMostEdits, (typed.size() - 1) / 2) + 1;
    for (std::string_view word : words) {
        const std::size_t distance = editDistance(typed, word);
        if (distance < bestDistance) {
            best = word;
            bestDistance = distance;
        }
    }
    if (best || typed.size() < kShortestPrefix) return best;
    // "chorus" for chorus-index: the start of a longer name.
    for (std::string_view word : words) {
        if (word.starts_with(typed)) return word;
    }
    return std::nullopt;
}

}  // namespace kdb2mid
