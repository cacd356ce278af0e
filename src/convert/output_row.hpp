// One output as a row of the outputs table: the option that asks for it,
// its --help line, what it needs from the song, the files it plans and its
// writer. outputs.hpp has the table's walk over a song; docs/adding-an-output.md
// says how a row is added.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_song.hpp"
#include "convert/output_set.hpp"

namespace kdb2mid {

// What an output reads beyond the decoded (and key- or tempo-changed) song.
struct OutputNeeds {
    // The lyrics with their times: the output is written only for a song
    // with lyric lines, and a song without any counts as "without lyrics".
    bool lyrics = false;
    // The song played through the synthesizer: rendered once per song for
    // every output that needs it.
    bool renderedAudio = false;
    // Karaoke pictures (the video, the MP3+G): the song's sound starts with
    // the pictures' lead-in of silence, so that the title screen has its time.
    bool pictures = false;
    // Draws the song's ASS document: SONG.ass is then written at the
    // pictures' timing, the very document drawn.
    bool subtitles = false;
};

class SongContext;

struct OutputRow {
    Output id = Output::midi;
    std::string_view option;     // "--lrc"; empty for the .mid, which every song gets
    std::string_view valueName;  // "FORMAT" when the option takes a value; empty for a flag
    std::vector<std::string> choices;  // the values it takes, when it takes one
    std::string help;                  // its line in `kdb2mid convert --help`
    OutputNeeds needs;
    // Adds the paths of the files it writes for the song to files; adds
    // none when the song cannot have it (a lyric file of a song without lyrics).
    void (*plan)(SongContext& song, std::vector<std::filesystem::path>& files) = nullptr;
    // What the files it writes add to a song's stem (".lrc"; the audio's
    // extension), so that --name can tell every file of two songs apart;
    // null for an output whose files are not named by the stem.
    std::vector<std::string> (*endings)(const ConvertOptions& options) = nullptr;
    // Writes those files, each complete or absent, reporting failures in
    // song.result. Returns false when the song's record was refused: the
    // song's later outputs are not tried.
    bool (*write)(SongContext& song, std::span<const std::filesystem::path> files) = nullptr;
    // For an option with a value: takes the value (one of choices) into
    // options; returns the usage error, or "" when it was taken.
    std::string (*takeValue)(std::string_view value, ConvertOptions& options) = nullptr;
    // For an option that changes how other outputs are written rather than
    // writing files of its own (--stems): the outputs it changes, one of
    // which must be asked for too.
    std::vector<Output> changes;
    // For an output whose making sets a run's pace (rendering sound,
    // encoding video): the word for what it makes in the progress line
    // ("min of video"), its seconds counted in SongResult::secondsMade; of
    // several made in a run, the one of highest pace is shown. Empty for
    // the others.
    std::string_view progressUnit;
    int pace = 0;
};

// Every output, in the order a song's files are written.
const std::vector<OutputRow>& outputTable();
const OutputRow& outputRow(Output id);

// Whether any output options asks for renders audio.
bool wantsRenderedAudio(const ConvertOptions& options);

// The usage error for an option that changes other outputs given without
// any of them ("--stems needs --audio, --video or --ultrastar"); none when
// every such option given has one.
std::optional<std::string> changedOutputMissing(const ConvertOptions& options);

}  // namespace kdb2mid
