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
#include "convert/song_plan.hpp"

namespace kdb2mid {

// The lyric text and karaoke options from --lyrics (nullptr when not given)
// and --kar: --kar writes UTF-8 text unless --lyrics vni asks for the stored
// bytes.
ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke);

// The songs (SongChoice: by number, --all or --range) and how to convert them.
struct ConvertRequest : SongChoice {
    std::filesystem::path databaseFolder;  // empty: the current folder
    std::filesystem::path outputFolder;    // empty: the current folder; created if missing
    unsigned threads = 1;
    bool quiet = false;  // no progress line, no summary
    ConvertOptions options;
    std::optional<Shard> shard;
    std::string namePattern;          // --name; empty: files named by song number
    std::filesystem::path soundFont;  // --soundfont; empty: the default one
};

// Runs the conversion; prints failure lines and the summary on standard
// output, the progress line on standard error when that is a terminal.
int runConvertCommand(const ConvertRequest& request);

}  // namespace kdb2mid
