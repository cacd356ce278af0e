// The progress line a batch draws on a terminal's standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "convert/batch_text.hpp"

namespace kdb2mid {

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
