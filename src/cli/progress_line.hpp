// The progress line a batch draws on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "convert/batch.hpp"

namespace kdb2mid {

// "12/500 songs, 3.4 MB/s, 1:02 left": the rate counts SONG.DAT bytes; the
// time left is estimated from it (from the songs done while no record bytes
// have been counted yet), "--:--" before anything is done.
std::string formatProgress(const BatchProgress& progress, double elapsedSeconds);

// Minutes and seconds, with hours in front from one hour on: "0:07", "1:02:03".
std::string formatDuration(double seconds);

// Whether file is an interactive terminal.
bool isTerminal(std::FILE* file) noexcept;

// Draws formatProgress() on one line of out, overwriting itself: at most one
// redraw per kRedrawInterval (the first one interval after the start), so a
// fast batch spends no time on its display.
// Draws nothing when out is nullptr.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRedrawInterval{200};

    explicit ProgressLine(std::FILE* out, Clock::time_point start = Clock::now());
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { clear(); }

    void update(const BatchProgress& progress, Clock::time_point now = Clock::now());
    // Blanks the line, so that other output starts on a clean line; the next
    // update() draws it again.
    void clear();

private:
    std::FILE* out_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;  // the start until the first draw
    std::size_t shownWidth_ = 0;  // characters now on the line
};

}  // namespace kdb2mid
