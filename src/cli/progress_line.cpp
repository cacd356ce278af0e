#include "cli/progress_line.hpp"

#include <algorithm>
#include <cmath>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kdb2mid {

namespace {

constexpr double kBytesPerMegabyte = 1e6;

std::string twoDigits(long long value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(text.begin(), '0');
    return text;
}

std::string oneDecimal(double value) {
    const auto tenths = static_cast<long long>(std::llround(value * 10));
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string formatDuration(double seconds) {
    if (!(seconds >= 0)) seconds = 0;  // also catches NaN
    seconds = std::min(seconds, 1e9);
    const auto total = static_cast<long long>(std::llround(seconds));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const std::string tail = twoDigits(total % 60);
    if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + tail;
    return std::to_string(minutes) + ":" + tail;
}

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

bool isTerminal(std::FILE* file) noexcept {
#ifdef _WIN32
    return _isatty(_fileno(file)) != 0;
#else
    return ::isatty(::fileno(file)) != 0;
#endif
}

ProgressLine::ProgressLine(std::FILE* out, Clock::time_point start)
    : out_(out), start_(start), lastDraw_(start) {}

void ProgressLine::update(const BatchProgress& progress, Clock::time_point now) {
    if (out_ == nullptr) return;
    // The first draw also waits an interval: a batch that ends sooner shows
    // no line, and the rate is not estimated from a single song.
    if (now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const std::string text = formatProgress(progress, elapsed);
    // Carriage return and spaces rather than terminal escapes: every console
    // understands them.
    std::string line = "\r" + text;
    if (shownWidth_ > text.size()) line.append(shownWidth_ - text.size(), ' ');
    shownWidth_ = text.size();
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

void ProgressLine::clear() {
    if (out_ == nullptr || shownWidth_ == 0) return;
    std::string blank = "\r";
    blank.append(shownWidth_, ' ');
    blank += '\r';
    std::fputs(blank.c_str(), out_);
    std::fflush(out_);
    shownWidth_ = 0;
}

}  // namespace kdb2mid
