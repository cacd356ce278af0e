// A convert run before its first song: the outputs' settings checked against
// the outputs asked for and taken, then everything a run of hours must not
// fail on after its first song checked once (each output's set-up, the
// database opens, the output folder exists), the songs planned, shared out
// and named.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/command_report.hpp"
#include "convert/convert_song.hpp"
#include "convert/output_row.hpp"
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
    std::string namePattern;  // --name; empty: files named by song number
};

// The lyric text from --lyrics (nullptr when not given) for the outputs
// options ask for: an output shown to people through players that read
// UTF-8 only (the .kar) makes it UTF-8 unless --lyrics vni asks for the
// stored bytes.
LyricText lyricTextFor(const std::string* lyrics, const ConvertOptions& options);

// A setting of a row of the outputs table as typed (UTF-8; empty for a flag).
struct GivenSetting {
    const OutputRow* row;
    const OutputSetting* setting;
    std::string text;
};

// Takes the settings given into options once they hold the outputs
// asked for; the usage error naming the first option that is of no use to
// them, not understood, or that an output refuses to be written with, or ""
// when every one was taken.
std::string takeSettings(ConvertOptions& options, std::span<const GivenSetting> given);

// A run ready for its first song.
struct PreparedRun {
    SongDatabase database;
    SongPlan plan;
    ConvertOptions options;  // the request's, with what the outputs prepared and names filled in
    std::vector<std::string> notices;  // for the user before the songs, unless quiet
    // What the outputs' set-up holds for the run (the soundfont's samples,
    // so that every thread's synthesizer shares them instead of loading its own).
    std::vector<std::shared_ptr<void>> held;
};

// Makes run ready for request; what refused it otherwise.
std::optional<RunRefusal> prepareRun(const ConvertRequest& request, PreparedRun& run);

// `kdb2mid SONG`: the song, from the database in the current folder into it,
// as .mid and chorus MP3s; failed unless it was converted.
CommandReport convertSongHere(std::int32_t songNumber);

}  // namespace kdb2mid
