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
    // Shows titles and lyrics to people through players that read UTF-8
    // only (the .kar): the run's lyric text is then UTF-8 unless --lyrics
    // asks for the stored bytes.
    bool readableText = false;
};

class SongContext;
struct PreparedRun;

// A setting an output reads besides its own option (--video-size): the
// option, its value's name, its --help line, and how the text typed is
// taken into the options.
struct OutputSetting {
    std::string_view option;     // "--video-size"
    std::string_view valueName;  // "WIDTHxHEIGHT"; empty for a flag
    std::string help;
    // Takes the text typed (UTF-8; empty for a flag) into options; returns
    // the usage error, or "" when it was taken.
    std::string (*take)(std::string_view text, ConvertOptions& options) = nullptr;
};

// Why a run did not start: a usage error (standard error, exit status 2) or
// a failure line (standard output, exit status 1).
struct RunRefusal {
    std::string line;
    bool usage = false;
};

struct OutputRow {
    Output id = Output::midi;
    std::string_view option;     // "--lrc"; empty for the .mid, which every song gets
    std::string_view valueName;  // "FORMAT" when the option takes a value; empty for a flag
    std::vector<std::string> choices;  // the values it takes, when it takes one
    std::string help;                  // its line in `kdb2mid convert --help`
    OutputNeeds needs;
    // What the files it writes add to a song's stem (".lrc"; the audio's
    // extension), in the order it writes them: the plan names its files so,
    // and --name tells every file of two songs apart by them. Null for an
    // output whose files are not named by the stem. For an option that
    // changes other outputs (changes), the endings of what it adds beside
    // their files.
    std::vector<std::string> (*endings)(const ConvertOptions& options) = nullptr;
    // Adds the paths of the files it writes for the song that its endings
    // do not name (the UltraStar folder's; a split song's parts beside its
    // audio). A row that needs lyrics plans nothing, and is not asked, for
    // a song without lyric lines.
    void (*plan)(SongContext& song, std::vector<std::filesystem::path>& files) = nullptr;
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
    // Its settings, in the order of --help. They, and prepare, serve a run
    // when used says so (null: when the row's own option is given); a
    // setting given in a run that does not use it is refused with
    // settingUnused's line.
    std::vector<OutputSetting> settings;
    bool (*used)(const ConvertOptions& options) = nullptr;
    std::string (*settingUnused)(std::string_view option) = nullptr;
    // When the row's option is given: the usage error for options it cannot
    // be written with, once every setting is taken; "" when there is none.
    std::string (*refuses)(const ConvertOptions& options) = nullptr;
    // Run-wide set-up before the first song, so that a run of hours does not
    // fail on its first song (load the soundfont once, check the encoders);
    // fills run.options and what the run holds; what refused the run otherwise.
    std::optional<RunRefusal> (*prepare)(PreparedRun& run) = nullptr;
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

// Whether a run with options uses the row's settings and set-up.
bool rowUsed(const OutputRow& row, const ConvertOptions& options);

// The usage error for an option that changes other outputs given without
// any of them ("--stems needs --audio, --video or --ultrastar"); none when
// every such option given has one.
std::optional<std::string> changedOutputMissing(const ConvertOptions& options);

}  // namespace kdb2mid
