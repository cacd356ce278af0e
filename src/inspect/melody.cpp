#include "inspect/melody.hpp"

#include <algorithm>

#include "midi/track_transform.hpp"

namespace kdb2mid {

MelodyChoice findMelody(std::span<const std::vector<Note>> tracks,
                        std::span<const std::uint64_t> wordTicks) {
    MelodyChoice choice;
    if (wordTicks.empty()) return choice;
    std::size_t bestCount = 0;
    std::size_t bestStarts = 0;
    std::vector<std::uint64_t> starts;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        starts.clear();
        for (const Note& note : tracks[t]) {
            if (note.channel != kDrumChannelIndex) starts.push_back(note.startTick);
        }
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        if (starts.empty()) continue;
        const auto count = static_cast<std::size_t>(
            std::count_if(wordTicks.begin(), wordTicks.end(), [&](std::uint64_t tick) {
                return std::binary_search(starts.begin(), starts.end(), tick);
            }));
        if (count == 0) continue;
        if (count > bestCount || (count == bestCount && starts.size() < bestStarts)) {
            bestCount = count;
            bestStarts = starts.size();
            choice.track = static_cast<int>(t);
        }
    }
    choice.coverage = static_cast<double>(bestCount) / static_cast<double>(wordTicks.size());
    // Compared in whole numbers so exactly 60 % qualifies.
    if (bestCount * 5 < wordTicks.size() * 3) choice.track = -1;
    return choice;
}

MelodyChoice songMelody(const DecodedSong& song, const TimedLyrics& lyrics,
                        std::vector<std::vector<Note>>& notes) {
    notes.clear();
    for (std::size_t j = 0; j < song.dataTrackCount(); ++j) {
        notes.push_back(trackNotes(song.dataTrack(j)));
    }
    std::vector<std::uint64_t> wordTicks;
    for (const TimedLine& line : lyrics.lines) {
        for (const TimedWord& word : line.words) wordTicks.push_back(word.tick);
    }
    return findMelody(notes, wordTicks);
}

std::size_t wordCount(const TimedLyrics& lyrics) {
    std::size_t words = 0;
    for (const TimedLine& line : lyrics.lines) words += line.words.size();
    return words;
}

}  // namespace kdb2mid
