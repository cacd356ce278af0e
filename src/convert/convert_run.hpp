// A convert run before its first song: the options only some outputs use
// checked against the outputs asked for, then everything a run of hours must
// not fail on after its first song checked once (the soundfont loads, the
// video encoders are there and the background is a picture, the database
// opens, the output folder exists), the songs planned, shared out and named.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/command_report.hpp"
#include "convert/convert_song.hpp"
#include "convert/song_plan.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

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

// The lyric text and karaoke options from --lyrics (nullptr when not given)
// and --kar: --kar writes UTF-8 text unless --lyrics vni asks for the stored
// bytes.
ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke);

// The sound and picture options as typed (UTF-8), each null when not given.
struct SettingTexts {
    const std::string* soundFont = nullptr;
    const std::string* loudness = nullptr;
    const std::string* videoSize = nullptr;
    const std::string* background = nullptr;
};

// Takes the texts into request once request.options holds the outputs asked
// for; the usage error naming the first option that is of no use to them or
// not understood, or "" when every one was taken.
std::string takeSettings(ConvertRequest& request, const SettingTexts& texts);

// Why a run did not start: a usage error (standard error, exit status 2) or
// a failure line (standard output, exit status 1).
struct RunRefusal {
    std::string line;
    bool usage = false;
};

// A run ready for its first song.
struct PreparedRun {
    SongDatabase database;
    SongPlan plan;
    ConvertOptions options;  // the request's, with the soundfont, video and names filled in
    std::vector<std::string> notices;  // for the user before the songs, unless quiet
    // Holds the soundfont's samples for the run, so that every thread's
    // synthesizer shares them instead of loading its own.
    std::shared_ptr<void> soundFont;
};

// Makes run ready for request; what refused it otherwise.
std::optional<RunRefusal> prepareRun(const ConvertRequest& request, PreparedRun& run);

// `kdb2mid SONG`: the song, from the database in the current folder into it,
// as .mid and chorus MP3s; failed unless it was converted.
CommandReport convertSongHere(std::int32_t songNumber);

}  // namespace kdb2mid
