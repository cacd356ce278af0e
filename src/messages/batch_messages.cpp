#include "messages/batch_messages.hpp"

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

std::string summaryText(const BatchTotals& totals) {
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

std::string progressText(std::size_t songsDone, std::size_t songsTotal,
                         std::optional<PaceMade> made, double bytesPerSecond, double elapsed,
                         double left) {
    std::string line = std::to_string(songsDone) + "/" + std::to_string(songsTotal) + " songs";
    if (made) {
        // Rendering or encoding sets the pace: minutes made and how much
        // faster than they play.
        line += ", " + oneDecimal(made->seconds / 60) + " min of " + std::string(made->unit);
        if (elapsed > 0) line += ", " + oneDecimal(made->seconds / elapsed) + "x real time";
        line += ", ";
    } else {
        line += ", " + oneDecimal(bytesPerSecond / kBytesPerMegabyte) + " MB/s, ";
    }
    line += left < 0 ? "--:--" : formatDuration(left);
    return line + " left";
}

}  // namespace kdb2mid
