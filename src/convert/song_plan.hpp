// Which songs a run converts: song numbers as typed, ranges, --all, and the
// share of them one machine of several takes (--shard).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "convert/batch.hpp"
#include "io/shard_environment.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

struct SongRange {
    std::int32_t first;
    std::int32_t last;  // inclusive
};

// A song number as a subcommand takes it: decimal digits only, within the
// 32-bit range. Nothing for anything else.
std::optional<std::int32_t> parseSongArgument(std::string_view text) noexcept;

// Reads a song number the way C's atoi does, as `kdb2mid SONG` always has:
// leading white space, one optional sign, then digits up to the first
// non-digit; no digits gives 0. Values beyond the 32-bit range saturate.
std::int32_t parseSongNumber(std::string_view text) noexcept;

// FROM and TO of "FROM-TO" as song numbers, in either order.
std::optional<SongRange> songRangeEnds(std::string_view text) noexcept;

// "FROM-TO", two song numbers with FROM not above TO.
std::optional<SongRange> parseSongRange(std::string_view text) noexcept;

// "I/N": this run converts every N-th song of the plan from the I-th on.
std::optional<Shard> parseShard(std::string_view text) noexcept;


// The songs of plan that shard takes, in order.
std::vector<std::int32_t> shardSongs(std::span<const std::int32_t> songs, Shard shard);

// The songs asked for: by number, --all or --range.
struct SongChoice {
    std::vector<std::int32_t> songs;  // by number, in the order given
    bool all = false;                 // every song of SONG.IDX
    std::optional<SongRange> range;
};

// The songs a run converts, in order, each once: those given by number, or
// for --all and --range the numbers from run.first to run.last (held as its
// ends: an index can address two billion songs).
struct SongPlan {
    std::vector<std::int32_t> songs;
    std::optional<SongRange> run;
    SongSelection selection() const {
        return run ? SongSelection::range(run->first, run->last) : SongSelection(songs);
    }
    // Songs of the range that SONG.IDX has no entries for: named in a notice.
    std::size_t outsideIndex = 0;
};

// Songs numbered firstSong .. firstSong + songCount - 1 have SONG.IDX entries.
// A range is cut to them; songs given by number are kept whatever they are
// (converting them reports what is wrong).
SongPlan planSongs(const SongChoice& choice, std::int32_t firstSong, std::int32_t songCount);

// Turns the plan's run into the list of its songs that SONG.IDX has a record
// (or a broken entry to report) for, as shares and names go by the songs
// themselves. Stops early once the run is interrupted.
void listRunSongs(SongPlan& plan, const SongDatabase& database);

}  // namespace kdb2mid
