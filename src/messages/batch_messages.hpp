// What a batch tells its user as it goes (the progress line) and when it
// ends (the summary).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kdb2mid {

struct BatchTotals {
    std::size_t converted = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t interrupted = 0;     // stopped by a signal part way
    std::size_t alreadyDone = 0;     // --resume found all their files
    std::size_t withoutLyrics = 0;   // lyric files asked for, no lyric line to write
    std::size_t belowLoudness = 0;   // held below --loudness by the true-peak ceiling
};

// "3 converted, 0 skipped, 0 failed", and the interrupted, already done,
// without-lyrics and below-loudness counts where there are any.
std::string summaryText(const BatchTotals& totals);

// What the outputs that set a run's pace make, as the progress line names it.
inline constexpr std::string_view kAudioMade = "audio";
inline constexpr std::string_view kVideoMade = "video";

// Minutes of what sets the pace, made so far.
struct PaceMade {
    std::string_view unit;  // kAudioMade, kVideoMade
    double seconds = 0;
};

// "12/500 songs, 3.4 MB/s, 1:02 left"; with made, "5.0 min of video, 5.0x
// real time" instead of the rate. elapsed 0: too early for a rate; left
// below 0: not known yet ("--:--").
std::string progressText(std::size_t songsDone, std::size_t songsTotal,
                         std::optional<PaceMade> made, double bytesPerSecond, double elapsed,
                         double left);

}  // namespace kdb2mid
