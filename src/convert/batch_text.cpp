#include "convert/batch_text.hpp"

#include <algorithm>

#include "convert/output_row.hpp"

namespace kdb2mid {

namespace {

// What the output of highest pace made so far, among those that count it.
std::optional<PaceMade> paceMade(const BatchProgress& progress) {
    const OutputRow* pace = nullptr;
    for (const OutputRow& row : outputTable()) {
        if (row.progressUnit.empty() || progress.secondsMade[outputIndex(row.id)] <= 0) continue;
        if (pace == nullptr || row.pace > pace->pace) pace = &row;
    }
    if (pace == nullptr) return std::nullopt;
    return PaceMade{pace->progressUnit, progress.secondsMade[outputIndex(pace->id)]};
}

}  // namespace

std::string formatProgress(const BatchProgress& progress, double elapsedSeconds) {
    const bool timed = elapsedSeconds > 0;
    const double rate = timed ? static_cast<double>(progress.bytesDone) / elapsedSeconds : 0;
    double left = -1;
    if (timed && progress.bytesDone > 0) {
        const std::uint64_t remaining =
            progress.bytesTotal - std::min(progress.bytesTotal, progress.bytesDone);
        left = static_cast<double>(remaining) / rate;
    } else if (timed && progress.songsDone > 0) {
        const std::size_t remaining =
            progress.songsTotal - std::min(progress.songsTotal, progress.songsDone);
        left = static_cast<double>(remaining) * elapsedSeconds /
               static_cast<double>(progress.songsDone);
    }
    return progressText(progress.songsDone, progress.songsTotal, paceMade(progress), rate,
                        elapsedSeconds, left);
}

std::string summaryLine(const BatchTotals& totals) { return summaryText(totals); }

}  // namespace kdb2mid
