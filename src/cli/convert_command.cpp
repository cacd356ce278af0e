#include "cli/convert_command.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <limits>
#include <string>
#include <system_error>
#include <thread>

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/song_renderer.hpp"
#endif
#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/progress_line.hpp"
#include "cli/subcommand.hpp"
#include "convert/batch.hpp"
#include "convert/outputs.hpp"
#ifdef KDB2MID_HAVE_VIDEO
#include "messages/video_messages.hpp"
#endif
#include "io/file_io.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

namespace {

// Prints each song's lines as whole lines; the batch calls it under its lock,
// in song order. The progress line is blanked before a message so the two
// never share a terminal line.
class ConsoleReporter final : public BatchObserver {
public:
    // reportSkipped: say of each song without a record that it has none; for
    // songs the user named, not for the empty entries a whole index holds.
    ConsoleReporter(std::FILE* progressOut, bool reportSkipped)
        : progress_(progressOut), reportSkipped_(reportSkipped) {}

    void songFinished(std::int32_t, const SongResult& result) override {
        if (result.outcome == SongResult::Outcome::skipped && !reportSkipped_) return;
        if (result.messages.empty()) return;
        progress_.clear();
        for (const std::string& line : result.messages) printLine(line);
        std::fflush(stdout);
    }

    void progressed(const BatchProgress& progress) override { progress_.update(progress); }

    void finish() { progress_.clear(); }

private:
    ProgressLine progress_;
    bool reportSkipped_;
};

std::string summaryLine(const BatchTotals& totals) {
    std::string line = std::to_string(totals.converted) + " converted, " +
                       std::to_string(totals.skipped) + " skipped, " +
                       std::to_string(totals.failed) + " failed";
    if (totals.interrupted > 0) line += ", " + std::to_string(totals.interrupted) + " interrupted";
    if (totals.alreadyDone > 0) line += ", " + std::to_string(totals.alreadyDone) + " already done";
    if (totals.withoutLyrics > 0) {
        line += ", " + std::to_string(totals.withoutLyrics) + " without lyrics";
    }
    return line;
}

std::string rangeText(SongRange range) {
    return std::to_string(range.first) + "-" + std::to_string(range.last);
}

}  // namespace

ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke) {
    std::optional<LyricText> requested;
    if (lyrics != nullptr) requested = *lyrics == "utf8" ? LyricText::utf8 : LyricText::stored;
    ConvertOptions options;
    if (karaoke) options.outputs.add(Output::karaoke);
    options.lyrics = chosenLyricText(requested, karaoke);
    return options;
}

int runConvertCommand(const ConvertRequest& givenRequest) {
    ConvertRequest request = givenRequest;
#ifdef KDB2MID_HAVE_AUDIO
    std::unique_ptr<SongRenderer> soundFontHolder;
    if (request.options.wantsAudio()) {
        // Checked once, before any song: a run of hours must not fail on its
        // first song for want of a soundfont.
        const std::filesystem::path soundFont =
            request.soundFont.empty() ? std::filesystem::path(kDefaultSoundFont) : request.soundFont;
        std::error_code error;
        if (request.soundFont.empty() && !std::filesystem::exists(soundFont, error)) {
            printError(std::string("no soundfont at ") + kDefaultSoundFont +
                       ": give one with --soundfont FILE, or install the Debian package "
                       "fluid-soundfont-gm");
            return kExitUsage;
        }
        AudioStatus status;
        RenderSettings settings;
        settings.format = request.options.audioFormat;
        // Kept for the run: while it holds the soundfont's samples, every
        // thread's renderer shares them instead of loading its own.
        soundFontHolder = SongRenderer::open(soundFont, settings, status);
        if (!soundFontHolder) {
            std::string line = "--soundfont " + displayName(soundFont) + ": " +
                               describe(status.error);
            if (!status.detail.empty()) line += ": " + status.detail;
            printError(line);
            return kExitUsage;
        }
        request.options.soundFont = soundFont;
    }
#endif
#ifdef KDB2MID_HAVE_VIDEO
    if (request.options.outputs.has(Output::video)) {
        // Also before any song: the encoders are there and the background
        // is a picture, read once for every thread.
        VideoSettings& settings = request.options.videoSettings;
        // -j1 lets the encoder use every core; more songs at once share
        // them, each encoder still with two threads so that the last song
        // of a batch, alone, does not leave a core idle.
        const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
        settings.encoderThreads =
            request.threads > 1 ? static_cast<int>(std::max(2U, cores / request.threads)) : 0;
        auto video = std::make_shared<PreparedVideo>();
        const VideoStatus status = prepareVideo(settings, *video);
        if (!status.ok()) {
            printError(videoSetupFailure(status, settings.background.image));
            return kExitUsage;
        }
        request.options.video = std::move(video);
    }
#endif
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        printLine(databaseOpenFailure(error, request.databaseFolder));
        return kExitFailure;
    }
    if (const int error = createFolder(request.outputFolder); error != 0) {
        printLine(cannotCreateFolder(request.outputFolder, error));
        return kExitFailure;
    }
    // What an earlier run, killed while writing here, left under temporary names.
    removeStaleTemporaries(request.outputFolder);

    SongPlan plan = planSongs(request, database.firstSong(), database.songCount());
    if (request.shard || !request.namePattern.empty()) listRunSongs(plan, database);
    // Names are told apart over the whole run, before a shard takes its
    // songs: two songs of one title in different shards must not both get
    // the plain name, or the shards together would not write one run's files.
    if (!request.namePattern.empty()) {
        request.options.fileStems =
            nameSongFiles(database, plan.songs, request.namePattern, request.options);
    }
    if (request.shard) plan.songs = shardSongs(plan.songs, *request.shard);
    if (plan.outsideIndex > 0 && !request.quiet) {
        printLine("Range " + rangeText(*request.range) + ": " + std::to_string(plan.outsideIndex) +
                  " songs have no SONG.IDX entry");
    }
    std::fflush(stdout);

    const bool showProgress = !request.quiet && isTerminal(stderr);
    // Songs named one by one are reported and counted when they have no
    // record; an index's entries without a record are no songs at all.
    const bool byNumber = !request.all && !request.range;
    ConsoleReporter reporter(showProgress ? stderr : nullptr, byNumber);
    BatchTotals totals = convertSongs(database, plan.selection(), request.outputFolder,
                                      request.options,
                                      std::max(1U, request.threads), reporter);
    reporter.finish();
    if (!byNumber) totals.skipped = 0;
    if (!request.quiet) printLine(summaryLine(totals));
    return totals.failed > 0 ? kExitFailure : kExitSuccess;
}

namespace {

// The most threads -j accepts: far more than any machine's cores, few enough
// that a mistyped number cannot ask for a thread and a song buffer per song.
constexpr unsigned kMaxThreads = 1024;

unsigned defaultThreads() { return std::max(1U, std::thread::hardware_concurrency()); }

// The arguments as typed, until the parse is done.
#ifdef KDB2MID_HAVE_VIDEO
// --video-size and --background (each null when not given) into the video
// settings; the usage error, or "" when they were taken.
std::string takeVideoSettings(ConvertOptions& options, const std::string* size,
                              const std::string* background) {
    if (!options.outputs.has(Output::video)) {
        if (size != nullptr) return needsVideo("--video-size");
        if (background != nullptr) return needsVideo("--background");
        return {};
    }
    if (size != nullptr) {
        const std::optional<VideoSize> parsed = parseVideoSize(*size);
        if (!parsed) return videoSizeRefused(*size);
        options.videoSettings.size = *parsed;
    }
    if (background != nullptr) {
        std::optional<Background> parsed = parseBackground(*background);
        if (!parsed) return backgroundRefused(*background);
        if (!parsed->image.empty()) parsed->image = pathFromArgument(*background);
        options.videoSettings.background = std::move(*parsed);
    }
    return {};
}
#endif

struct ConvertArguments {
    ConvertRequest request;
    std::vector<std::string> songTexts;
    std::string rangeText;
    std::string databaseText;
    std::string outputText;
    std::string lyricsText;
    CLI::Option* lyrics = nullptr;
    std::vector<std::string> outputValues;      // one per row of the outputs table
    std::vector<CLI::Option*> outputOptions;    // null for a row without an option
    std::string soundFontText;
    CLI::Option* soundFont = nullptr;
    std::string loudnessText;
    CLI::Option* loudness = nullptr;
    std::string videoSizeText;
    CLI::Option* videoSize = nullptr;
    std::string backgroundText;
    CLI::Option* background = nullptr;
    std::string shardText;
    std::string namePattern;
};

int runParsedConvert(ConvertArguments* a, CLI::App* convert) {
    const std::vector<OutputRow>& outputs = outputTable();
    if (a->songTexts.empty() && !a->request.all && a->rangeText.empty()) {
        return usageError(*convert, "give song numbers, --all or --range FROM-TO");
    }
    for (const std::string& text : a->songTexts) {
        a->request.songs.push_back(songFromArgument(text));
    }
    if (!a->rangeText.empty()) a->request.range = parseSongRange(a->rangeText);
    a->request.databaseFolder = pathFromArgument(a->databaseText);
    a->request.outputFolder = pathFromArgument(a->outputText);
    // IsMember has turned any spelling into the one listed.
    if (a->lyricsText == "utf-8") a->lyricsText = "utf8";
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (a->outputOptions[i] == nullptr || a->outputOptions[i]->count() == 0) continue;
        a->request.options.outputs.add(outputs[i].id);
        if (outputs[i].takeValue == nullptr) continue;
        const std::string refused = outputs[i].takeValue(a->outputValues[i], a->request.options);
        if (!refused.empty()) return usageError(*convert, refused);
    }
    a->request.options.lyrics =
        convertOptionsFor(a->lyrics->count() > 0 ? &a->lyricsText : nullptr,
                          a->request.options.outputs.has(Output::karaoke))
            .lyrics;
#ifdef KDB2MID_HAVE_AUDIO
    ConvertOptions& options = a->request.options;
    if (const auto unused =
            unusedSoundOption(options, a->soundFont->count() > 0, a->loudness->count() > 0)) {
        return usageError(*convert, *unused);
    }
    for (const Output pair : {Output::cdg, Output::cdgZip}) {
        if (!options.outputs.has(pair)) continue;
        const bool opus =
            options.outputs.has(Output::audio) && options.audioFormat == AudioFormat::opus;
        if (opus || !audioFormatSupported(AudioFormat::mp3)) {
            return usageError(*convert, mp3gUnavailable(outputRow(pair).option, opus));
        }
    }
    a->request.soundFont = pathFromArgument(a->soundFontText);
    if (!a->loudnessText.empty() && !parseLoudness(a->loudnessText, options.loudness)) {
        return usageError(*convert, loudnessRefused(a->loudnessText, kMinLoudness, kMaxLoudness));
    }
#endif
#ifdef KDB2MID_HAVE_VIDEO
    if (const std::string refused = takeVideoSettings(
            a->request.options, a->videoSize->count() > 0 ? &a->videoSizeText : nullptr,
            a->background->count() > 0 ? &a->backgroundText : nullptr);
        !refused.empty()) {
        return usageError(*convert, refused);
    }
#endif
    if (!a->shardText.empty()) a->request.shard = parseShard(a->shardText);
    a->request.namePattern = a->namePattern;
    return runConvertCommand(a->request);
}

}  // namespace

Subcommand addConvertCommand(CLI::App& app) {
    auto arguments = std::make_shared<ConvertArguments>();
    ConvertArguments* a = arguments.get();
    a->request.threads = defaultThreads();
    CLI::App* convert = app.add_subcommand(
        "convert", "Convert songs to MIDI, chorus MP3, karaoke, lyric, audio, video and MP3+G files");
    convert->add_option("SONG", a->songTexts, "Song numbers to convert")
        ->type_name("SONG")
        ->check(kSongNumber);
    CLI::Option* all =
        convert->add_flag("--all", a->request.all, "Every song that SONG.IDX addresses");
    CLI::Option* range =
        convert->add_option("--range", a->rangeText, "The songs FROM to TO, both included")
            ->type_name("FROM-TO")
            ->check(kSongRange);
    addDatabaseOption(*convert, a->databaseText);
    addOutputOption(*convert, a->outputText,
                    "Output folder, created if missing (default: current folder)");
    convert
        ->add_option("-j,--jobs", a->request.threads,
                     "Songs converted at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1U, kMaxThreads).description(""));
    convert->add_flag("-q,--quiet", a->request.quiet, "No progress line and no summary line");
    a->lyrics = convert
                   ->add_option("--lyrics", a->lyricsText,
                                "Lyric text as stored (vni, the default) or as UTF-8")
                   ->type_name("utf8|vni")
                   ->check(CLI::IsMember({"utf8", "utf-8", "vni"}, CLI::ignore_case)
                               .description(""));
    // One option per output of the table, in its order.
    const std::vector<OutputRow>& outputs = outputTable();
    a->outputValues.resize(outputs.size());
    a->outputOptions.assign(outputs.size(), nullptr);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputRow& row = outputs[i];
        if (row.option.empty()) continue;
        if (row.valueName.empty()) {
            a->outputOptions[i] = convert->add_flag(std::string(row.option), row.help);
        } else {
            a->outputOptions[i] =
                convert->add_option(std::string(row.option), a->outputValues[i], row.help)
                    ->type_name(std::string(row.valueName))
                    ->check(CLI::IsMember(row.choices, CLI::ignore_case).description(""));
        }
    }
    convert
        ->add_option("--transpose", a->request.options.transpose,
                     "Move every note but the drums N semitones, -12 to 12, in every file")
        ->type_name("N")
        ->check(CLI::Range(-kMaxTranspose, kMaxTranspose).description(""));
    convert
        ->add_option("--tempo", a->request.options.tempoPercent,
                     "Play at PERCENT of the song's tempo, 25 to 400; lyric times follow")
        ->type_name("PERCENT")
        ->check(CLI::Range(kMinTempoPercent, kMaxTempoPercent).description(""));
#ifdef KDB2MID_HAVE_AUDIO
    a->soundFont = convert
                       ->add_option("--soundfont", a->soundFontText,
                                    std::string("SoundFont (.sf2/.sf3) to render with (default: ") +
                                        kDefaultSoundFont + ")")
                       ->type_name("FILE");
    a->loudness =
        convert
            ->add_option("--loudness", a->loudnessText,
                         "Bring each song's audio to LUFS integrated loudness, -30 to -9, true "
                         "peak at most -1 dBTP (default: -16), or off: the synthesizer's own level")
            ->type_name("LUFS|off");
    convert->add_flag("--mute-melody", a->request.options.muteMelody,
                      "Render the audio without the melody track: an instrumental");
#endif
#ifdef KDB2MID_HAVE_VIDEO
    a->videoSize = convert
                       ->add_option("--video-size", a->videoSizeText,
                                    "Frame size of the videos, even numbers from 320x240 to "
                                    "3840x2160 (default: 1280x720)")
                       ->type_name("WIDTHxHEIGHT");
    a->background = convert
                        ->add_option("--background", a->backgroundText,
                                     "What the videos' lyrics are drawn over: black (the default), "
                                     "a colour #RRGGBB or a picture file, scaled to fit")
                        ->type_name("COLOUR|FILE");
#endif
    convert->add_flag("--resume", a->request.options.resume,
                      "Skip songs whose requested files all exist already");
    convert
        ->add_option("--shard", a->shardText,
                     "Convert only every N-th song, from the I-th on (I from 1 to N): "
                     "N machines share one database")
        ->type_name("I/N")
        ->check(kShard);
    convert
        ->add_option("--name", a->namePattern,
                     "Name each song's files from {song}, {title}, {artist} "
                     "(default: {song})")
        ->type_name("PATTERN")
        ->check(kNamePattern);
    all->excludes(range);
    convert->get_option("SONG")->excludes(all)->excludes(range);

    return {convert, [arguments, convert] { return runParsedConvert(arguments.get(), convert); }};
}

}  // namespace kdb2mid
