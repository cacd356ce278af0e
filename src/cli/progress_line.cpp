#include "cli/progress_line.hpp"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kdb2mid {

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
