// The outputs a song can be converted to, as one table. Each output is one
// row: the option that asks for it, its --help line, the files it writes for
// a song, what it needs from the song, and its writer. The command line's
// options and help, --resume's check, the summary's "without lyrics" count
// and one song's conversion all read the table, so adding an output is one
// writer file (output_<name>.cpp, which makes its row) and one line in
// outputTable(). docs/adding-an-output.md walks through it.
//
// One song's conversion: decode the record once, change key and tempo once,
// plan each requested output's files, then call each requested writer once,
// in table order. Everything a writer reads is in the SongContext, made on
// first use and shared: the lyrics with their times, the melody, the song
// as a MIDI file in memory, the rendered audio.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_song.hpp"
#include "convert/output_set.hpp"
#include "export/timed_lyrics.hpp"
#include "export/ultrastar.hpp"
#include "format/byte_sink.hpp"
#include "inspect/melody.hpp"
#include "format/record_error.hpp"
#include "io/file_io.hpp"
#include "midi/tempo_map.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

// What an output reads beyond the decoded (and key- or tempo-changed) song.
struct OutputNeeds {
    // The lyrics with their times: the output is written only for a song
    // with lyric lines, and a song without any counts as "without lyrics".
    bool lyrics = false;
    // The song played through the synthesizer: rendered once per song for
    // every output that needs it.
    bool renderedAudio = false;
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

struct PlannedOutput {
    const OutputRow* row;
    std::vector<std::filesystem::path> files;  // may be empty: nothing to write for this song
    bool done = false;  // --resume found every one of its files: not written again
};

// One song on its way to its files: what the writers read and where they
// report. Everything beyond the decoded song is made on first use.
class SongContext {
public:
    SongContext(std::int32_t songNumber, std::string fileStem, const std::filesystem::path& folder,
                const ConvertOptions& convertOptions, ConvertWorkspace& workspace,
                SongResult& songResult)
        : number(songNumber), stem(std::move(fileStem)), outFolder(folder),
          options(convertOptions), work(workspace), result(songResult) {}

    const std::int32_t number;
    const std::string stem;  // the files' name before the extension
    const std::filesystem::path& outFolder;
    const ConvertOptions& options;
    // work.song: the song decoded once, its tracks changed once by --transpose/--tempo.
    ConvertWorkspace& work;
    SongResult& result;
    // Why the record was refused; none when work.song holds the song.
    RecordError decoded = RecordError::none;

    // The output folder's file named stem + extension (".lrc").
    std::filesystem::path file(std::string_view extension) const;

    // The words with their ticks, the song's tempo map and length.
    const TimedLyrics& lyrics();
    const SongTiming& timing();
    // Hundredths of silence the karaoke pictures (the video, the MP3+G) and
    // their sound start with, so that the title screen has its time
    // (titleLeadIn); the audio files and the subtitles alone keep the song's.
    std::int64_t pictureLeadIn();
    // The data track the singer follows and every data track's notes. The
    // first call reports, as a notice, a song with words but no such track.
    const MelodyChoice& melody();
    const std::vector<std::vector<Note>>& notes();

    // The outputs this song gets, with their files (planOutputs).
    std::vector<PlannedOutput> planned;
    // Whether a planned output writes files for this song.
    bool writes(Output id) const;

    // The song as a Standard MIDI File in memory, made before the .mid is
    // written when audio is rendered from it.
    bool midiInMemory = false;
    // work.midiBuffer holds this song's .mid (not so when --resume found
    // the .mid and left it alone: the audio then makes it).
    bool midiMade = false;

    // Whether the song's sound is rendered in two parts, its guide melody
    // apart from the rest (--stems, and a track plays the melody). The first
    // call with --stems reports a song it cannot split, and a melody track
    // that also plays accompaniment, as notices.
    bool splitsMelody();

#ifdef KDB2MID_HAVE_AUDIO
    // The song's audio, encoded into path in options.audioFormat (complete
    // or absent); false after reporting a failure.
    bool writeRenderedAudio(const std::filesystem::path& path);
    // The song played through the synthesizer at its loudness, rendered on
    // first use and shared by every output that needs its sound (the video's
    // soundtrack, the MP3+G's MP3); null after reporting a failure. The one
    // place a song is rendered: a song is never rendered twice.
    const RenderedAudio* renderedAudio();
    // The same, for a song split in parts (splitsMelody): the full song and
    // its instrumental (the guide melody is their difference).
    const RenderedParts* renderedParts();
    // The sound of the karaoke pictures: the rendered audio, which starts
    // with pictureLeadIn() of silence (leadInFrames) whenever a picture
    // output is planned, in one buffer with the audio files' sound (they
    // leave the lead-in out). Every track of a picture (renderedParts' too)
    // starts with the same lead-in.
    const RenderedAudio* pictureAudio();
#endif

private:
    std::optional<TimedLyrics> lyrics_;
    std::optional<SongTiming> timing_;
    std::optional<MelodyChoice> melody_;
    std::vector<std::vector<Note>> notes_;
    std::optional<bool> splits_;
#ifdef KDB2MID_HAVE_AUDIO
    bool openRenderer();
    std::span<const std::uint8_t> midiToRender(std::vector<std::uint8_t>& muted);
    SongParts partsToRender(std::vector<std::uint8_t>& full, std::vector<std::uint8_t>& guide);
    bool writeRenderedParts(const std::filesystem::path& path, bool shared);
    bool keepRender(const RenderResult& rendered);
    std::optional<RenderedAudio> audio_;
    std::optional<RenderedParts> parts_;
    bool audioFailed_ = false;
#endif
};

// What a song's files add to its stem, one entry per file options ask for
// and per chorus part: ".mid", ".kar", the audio's extension, "_<part>.mp3".
std::vector<std::string> songFileSuffixes(const ConvertOptions& options,
                                          std::span<const std::uint32_t> chorusParts);

// Fills song.planned with the outputs options ask for (all but the .mid
// only when the record was decoded) and their files.
void planOutputs(SongContext& song);

// Lyric files were asked for, and the song has no lyric line for them.
bool lyricsMissing(SongContext& song);

// --resume: marks done each planned output whose files all exist already
// (outputs are complete or absent, so a file that exists is finished), so
// that only the others are written and the song is rendered only for them.
// Whether every output is done.
bool markFinishedOutputs(SongContext& song);

// Whether every chorus recording the record asks for exists already.
bool chorusFilesExist(const SongContext& song, const SongDatabase& database,
                      const ChorusRequest& chorus);

// Calls each planned output's writer once, in table order, until one
// refuses the record; returns false when one did. Outputs marked done are
// passed over.
bool writeOutputs(SongContext& song);

// Helpers for writers.

// Writes text into path, complete or not at all; reports a failure.
void writeTextOutput(SongContext& song, const std::filesystem::path& path, std::string_view text);

// Writes one file from the record through write(out), complete or not at
// all. Returns false when the record was refused (decoded, or the writer,
// found it unfit), after reporting it.
template <class Write>
bool writeRecordOutput(SongContext& song, const std::filesystem::path& path, RecordError refused,
                       Write write);

// The song's data tracks in order, as they will be written.
std::vector<std::span<const std::uint8_t>> dataTracksOf(const DecodedSong& song);

// Rewrites the data tracks with every note (not the drums') moved `semitones`
// and every tempo scaled to `percent`; the writers then read those.
void adjustTracks(DecodedSong& song, int semitones, int percent);

// The song's UltraStar text, its audio named audio (written beside it), with
// its instrumental and guide melody beside that when the song is split.
std::string ultrastarText(SongContext& song, const std::filesystem::path& audio);

// Where a part of the song's audio goes, beside the full song's audio file:
// "50004.flac" -> "50004.instrumental.flac" for part "instrumental".
std::filesystem::path partFile(const std::filesystem::path& audio, std::string_view part);
inline constexpr std::string_view kInstrumentalPart = "instrumental";
inline constexpr std::string_view kGuidePart = "guide";

// The rows, one per writer file.
OutputRow midiOutput();
OutputRow karaokeOutput();
OutputRow lrcOutput();
OutputRow assOutput();
#ifdef KDB2MID_HAVE_AUDIO
OutputRow audioOutput();
OutputRow ultrastarOutput();
#endif
#ifdef KDB2MID_HAVE_VIDEO
OutputRow videoOutput();
#endif
#ifdef KDB2MID_HAVE_AUDIO
OutputRow stemsOutput();
#endif
#if defined(KDB2MID_HAVE_AUDIO) && defined(KDB2MID_HAVE_CDG)
OutputRow cdgOutput();
OutputRow cdgZipOutput();
#endif

// Reports an output file that could not be made and returns false.
bool reportOutputFailure(SongContext& song, const std::filesystem::path& path,
                         const OutputFailure& failure);
void reportRefusedRecord(SongContext& song, RecordError error);

template <class Write>
bool writeRecordOutput(SongContext& song, const std::filesystem::path& path, RecordError refused,
                       Write write) {
    AtomicOutputFile out;
    if (!out.open(path)) {
        reportOutputFailure(song, path, out.failure());
        return true;
    }
    const RecordError error = refused != RecordError::none ? refused : write(out);
    if (error != RecordError::none) {
        out.abandon();
        reportRefusedRecord(song, error);
        return false;
    }
    if (!out.commit()) reportOutputFailure(song, path, out.failure());
    return true;
}

}  // namespace kdb2mid
