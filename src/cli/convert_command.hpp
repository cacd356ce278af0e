// `kdb2mid convert`: songs chosen by number, by range or all of them, from a
// database folder into an output folder, on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/batch.hpp"
#include "convert/convert_song.hpp"

namespace kdb2mid {

struct SongRange {
    std::int32_t first;
    std::int32_t last;  // inclusive
};

// A song number as a subcommand takes it: decimal digits only, within the
// 32-bit range. Nothing for anything else.
std::optional<std::int32_t> parseSongArgument(std::string_view text) noexcept;

// "FROM-TO", two song numbers with FROM not above TO.
std::optional<SongRange> parseSongRange(std::string_view text) noexcept;

// The lyric text and karaoke options from --lyrics (nullptr when not given)
// and --kar: --kar writes UTF-8 text unless --lyrics vni asks for the stored
// bytes.
ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke);

// "I/N": this run converts every N-th song of the plan from the I-th on.
struct Shard {
    std::uint32_t index;  // 1..count
    std::uint32_t count;
};
std::optional<Shard> parseShard(std::string_view text) noexcept;

// The songs of plan that shard takes, in order.
std::vector<std::int32_t> shardSongs(std::span<const std::int32_t> songs, Shard shard);

struct ConvertRequest {
    std::vector<std::int32_t> songs;  // by number, in the order given
    bool all = false;                  // every song of SONG.IDX
    std::optional<SongRange> range;
    std::filesystem::path databaseFolder;  // empty: the current folder
    std::filesystem::path outputFolder;    // empty: the current folder; created if missing
    unsigned threads = 1;
    bool quiet = false;  // no progress line, no summary
    ConvertOptions options;
    std::optional<Shard> shard;
    std::string namePattern;          // --name; empty: files named by song number
    std::filesystem::path soundFont;  // --soundfont; empty: the default one
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
SongPlan planSongs(const ConvertRequest& request, std::int32_t firstSong, std::int32_t songCount);

// Runs the conversion; prints failure lines and the summary on standard
// output, the progress line on standard error when that is a terminal.
int runConvertCommand(const ConvertRequest& request);

}  // namespace kdb2mid
