#include "convert/batch_text.hpp"

#include <algorithm>
#include <cmath>

#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

constexpr double kBytesPerMegabyte = 1e6;

std::string oneDecimal(double value) {
    const auto tenths = static_cast<long long>(std::llround(value * 10));
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string formatProgress(const BatchProgress& progress, double elapsedSeconds) {
    std::string line =
        std::to_string(progress.songsDone) + "/" + std::to_string(progress.songsTotal) + " songs";
    const bool timed = elapsedSeconds > 0;
    const double rate = timed ? static_cast<double>(progress.bytesDone) / elapsedSeconds : 0;
    if (progress.videoSeconds > 0) {
        // Making videos sets the pace: minutes of video made and how much
        // faster than they play.
        line += ", " + oneDecimal(progress.videoSeconds / 60) + " min of video";
        if (timed) line += ", " + oneDecimal(progress.videoSeconds / elapsedSeconds) + "x real time";
        line += ", ";
    } else if (progress.audioSeconds > 0) {
        // Rendering sets the pace: minutes of audio made and how much faster
        // than it plays.
        line += ", " + oneDecimal(progress.audioSeconds / 60) + " min of audio";
        if (timed) line += ", " + oneDecimal(progress.audioSeconds / elapsedSeconds) + "x real time";
        line += ", ";
    } else {
        line += ", " + oneDecimal(rate / kBytesPerMegabyte) + " MB/s, ";
    }
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
    line += left < 0 ? "--:--" : formatDuration(left);
    return line + " left";
}

std::string summaryLine(const BatchTotals& totals) {
    std::string line = std::to_string(totals.converted) + " converted, " +
                       std::to_string(totals.skipped) + " skipped, " +
                       std::to_string(totals.failed) + " failed";
    if (totals.interrupted > 0) line += ", " + std::to_string(totals.interrupted) + " interrupted";
    if (totals.alreadyDone > 0) line += ", " + std::to_string(totals.alreadyDone) + " already done";
    if (totals.withoutLyrics > 0) {
        line += ", " + std::to_string(totals.withoutLyrics) + " without lyrics";
    }
    if (totals.belowLoudness > 0) {
        line += ", " + std::to_string(totals.belowLoudness) + " below the loudness asked for";
    }
    return line;
}

}  // namespace kdb2mid
