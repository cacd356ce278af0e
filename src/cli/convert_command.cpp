#include "cli/convert_command.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <limits>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/song_renderer.hpp"
#endif
#include "convert/batch.hpp"
#include "convert/outputs.hpp"
#include "cli/command_line.hpp"
#include "cli/console.hpp"
#include "cli/progress_line.hpp"
#ifdef KDB2MID_HAVE_VIDEO
#include "messages/video_messages.hpp"
#endif
#include "io/file_io.hpp"
#include "io/interruption.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"

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

std::optional<std::int32_t> parseSongArgument(std::string_view text) noexcept {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<SongRange> parseSongRange(std::string_view text) noexcept {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = parseSongArgument(text.substr(0, dash));
    const auto last = parseSongArgument(text.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    return SongRange{*first, *last};
}

ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke) {
    std::optional<LyricText> requested;
    if (lyrics != nullptr) requested = *lyrics == "utf8" ? LyricText::utf8 : LyricText::stored;
    ConvertOptions options;
    if (karaoke) options.outputs.add(Output::karaoke);
    options.lyrics = chosenLyricText(requested, karaoke);
    return options;
}

SongPlan planSongs(const ConvertRequest& request, std::int32_t firstSong, std::int32_t songCount) {
    SongPlan plan;
    const std::int64_t indexFirst = firstSong;
    const std::int64_t indexLast = indexFirst + songCount - 1;  // below indexFirst when empty
    if (request.all) {
        if (indexLast >= indexFirst) {
            plan.run = SongRange{firstSong, static_cast<std::int32_t>(indexLast)};
        }
    } else if (request.range) {
        const std::int64_t from = std::max<std::int64_t>(request.range->first, indexFirst);
        const std::int64_t to = std::min<std::int64_t>(request.range->last, indexLast);
        if (from <= to) {
            plan.run = SongRange{static_cast<std::int32_t>(from), static_cast<std::int32_t>(to)};
        }
        const std::int64_t asked = std::int64_t{request.range->last} - request.range->first + 1;
        plan.outsideIndex =
            static_cast<std::size_t>(asked - std::max<std::int64_t>(0, to - from + 1));
    } else {
        std::unordered_set<std::int32_t> seen;
        for (std::int32_t song : request.songs) {
            if (seen.insert(song).second) plan.songs.push_back(song);
        }
    }
    return plan;
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
    if ((request.shard || !request.namePattern.empty()) && plan.run) {
        // Shares and names go by the songs themselves: the range's numbers
        // that have a record, or a broken entry to report.
        IndexBlock index;
        for (std::int64_t song = plan.run->first; song <= plan.run->last && !interrupted();
             ++song) {
            const auto number = static_cast<std::int32_t>(song);
            if (database.locate(number, index).outcome != RecordLookup::Outcome::empty) {
                plan.songs.push_back(number);
            }
        }
        plan.run.reset();
    }
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

}  // namespace kdb2mid
