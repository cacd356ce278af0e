#include "convert/song_plan.hpp"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "io/interruption.hpp"

namespace kdb2mid {

namespace {

constexpr std::int64_t kAboveSongNumbers = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;

// The value of the decimal digits text starts with, from `at` on, at most
// kAboveSongNumbers; `at` ends past them. The one place song numbers are read.
std::int64_t leadingDigits(std::string_view text, std::size_t& at) noexcept {
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min(value * 10 + (text[at] - '0'), kAboveSongNumbers);
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> parseSongArgument(std::string_view text) noexcept {
    std::size_t end = 0;
    const std::int64_t value = leadingDigits(text, end);
    if (text.empty() || end != text.size() || value >= kAboveSongNumbers) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t parseSongNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = leadingDigits(text, i);
    if (negative) value = -value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::optional<SongRange> songRangeEnds(std::string_view text) noexcept {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto from = parseSongArgument(text.substr(0, dash));
    const auto to = parseSongArgument(text.substr(dash + 1));
    if (!from || !to) return std::nullopt;
    return SongRange{*from, *to};
}

std::optional<SongRange> parseSongRange(std::string_view text) noexcept {
    const std::optional<SongRange> ends = songRangeEnds(text);
    if (!ends || ends->first > ends->last) return std::nullopt;
    return ends;
}

std::optional<Shard> parseShard(std::string_view text) noexcept {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto index = parseSongArgument(text.substr(0, slash));
    const auto count = parseSongArgument(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) return std::nullopt;
    return Shard{static_cast<std::uint32_t>(*index), static_cast<std::uint32_t>(*count)};
}

std::vector<std::int32_t> shardSongs(std::span<const std::int32_t> songs, Shard shard) {
    std::vector<std::int32_t> taken;
    for (std::size_t i = shard.index - 1; i < songs.size(); i += shard.count) {
        taken.push_back(songs[i]);
    }
    return taken;
}

SongPlan planSongs(const SongChoice& choice, std::int32_t firstSong, std::int32_t songCount) {
    SongPlan plan;
    const std::int64_t indexFirst = firstSong;
    const std::int64_t indexLast = indexFirst + songCount - 1;  // below indexFirst when empty
    if (choice.all) {
        if (indexLast >= indexFirst) {
            plan.run = SongRange{firstSong, static_cast<std::int32_t>(indexLast)};
        }
    } else if (choice.range) {
        const std::int64_t from = std::max<std::int64_t>(choice.range->first, indexFirst);
        const std::int64_t to = std::min<std::int64_t>(choice.range->last, indexLast);
        if (from <= to) {
            plan.run = SongRange{static_cast<std::int32_t>(from), static_cast<std::int32_t>(to)};
        }
        const std::int64_t asked = std::int64_t{choice.range->last} - choice.range->first + 1;
        plan.outsideIndex =
            static_cast<std::size_t>(asked - std::max<std::int64_t>(0, to - from + 1));
    } else {
        std::unordered_set<std::int32_t> seen;
        for (std::int32_t song : choice.songs) {
            if (seen.insert(song).second) plan.songs.push_back(song);
        }
    }
    return plan;
}

void listRunSongs(SongPlan& plan, const SongDatabase& database) {
    if (!plan.run) return;
    IndexBlock index;
    for (std::int64_t song = plan.run->first; song <= plan.run->last && !interrupted(); ++song) {
        const auto number = static_cast<std::int32_t>(song);
        if (database.locate(number, index).outcome != RecordLookup::Outcome::empty) {
            plan.songs.push_back(number);
        }
    }
    plan.run.reset();
}

}  // namespace kdb2mid
