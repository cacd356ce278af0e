#include "cli/convert_command.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>
#include <unordered_set>

#include "convert/batch.hpp"
#include "cli/command_line.hpp"
#include "cli/console.hpp"
#include "cli/progress_line.hpp"
#include "io/file_io.hpp"
#include "io/song_database.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// Prints each song's lines as whole lines; the batch calls it under its lock,
// in song order. The progress line is blanked before a message so the two
// never share a terminal line.
class ConsoleReporter final : public BatchObserver {
public:
    explicit ConsoleReporter(std::FILE* progressOut) : progress_(progressOut) {}

    void songFinished(std::int32_t, const SongResult& result) override {
        // A song without a record is counted in the summary, not reported.
        if (result.outcome == SongResult::Outcome::skipped || result.messages.empty()) return;
        progress_.clear();
        for (const std::string& line : result.messages) printLine(line);
        std::fflush(stdout);
    }

    void progressed(const BatchProgress& progress) override { progress_.update(progress); }

    void finish() { progress_.clear(); }

private:
    ProgressLine progress_;
};

std::string summaryLine(const BatchTotals& totals) {
    return std::to_string(totals.converted) + " converted, " + std::to_string(totals.skipped) +
           " skipped, " + std::to_string(totals.failed) + " failed";
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
    options.karaoke = karaoke;
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

int runConvertCommand(const ConvertRequest& request) {
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        printLine(databaseOpenFailure(error));
        return kExitFailure;
    }
    if (!request.outputFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(request.outputFolder, error);
        if (error || !std::filesystem::is_directory(request.outputFolder, error)) {
            printLine(cannotCreateFolder(request.outputFolder));
            return kExitFailure;
        }
    }
    // What an earlier run, killed while writing here, left under temporary names.
    removeStaleTemporaries(request.outputFolder);

    const SongPlan plan = planSongs(request, database.firstSong(), database.songCount());
    if (plan.outsideIndex > 0 && !request.quiet) {
        printLine("Range " + rangeText(*request.range) + ": " + std::to_string(plan.outsideIndex) +
                  " songs have no SONG.IDX entry and are skipped");
    }
    std::fflush(stdout);

    const bool showProgress = !request.quiet && isTerminal(stderr);
    ConsoleReporter reporter(showProgress ? stderr : nullptr);
    BatchTotals totals = convertSongs(database, plan.selection(), request.outputFolder, request.options,
                                      std::max(1U, request.threads), reporter);
    reporter.finish();
    totals.skipped += plan.outsideIndex;
    if (!request.quiet) printLine(summaryLine(totals));
    return totals.failed > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace kdb2mid
