#include "export/title_lead_in.hpp"

#include <algorithm>

namespace kdb2mid {

std::int64_t titleLeadIn(const TimedLyrics& lyrics, const TempoMap& tempo) {
    const std::size_t shown = std::min<std::size_t>(lyrics.titles.size(), 2);
    const bool titled = std::any_of(lyrics.titles.begin(), lyrics.titles.begin() + static_cast<std::ptrdiff_t>(shown),
                                    [](const std::string& title) {
                                        return title.find_first_not_of(' ') != std::string::npos;
                                    });
    if (!titled || lyrics.lines.empty()) return 0;
    const std::int64_t firstWord = centiseconds(tempo.secondsAt(lyrics.lines.front().words.front().tick));
    return std::max<std::int64_t>(0, kTitleScreenShortest + kFirstLineAhead - firstWord);
}

}  // namespace kdb2mid
