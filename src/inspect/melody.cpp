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

bool melodyShared(std::span<const std::vector<Note>> tracks, std::size_t melody) {
    if (melody >= tracks.size()) return false;
    // A sung line's notes often overlap a little (legato); a chord's overlap
    // by more than a sixteenth (at the songs' 120 ticks a quarter note).
    constexpr std::uint64_t kLegatoTicks = 30;
    std::uint32_t channels = 0;
    std::uint64_t soundingUntil = 0;
    bool first = true;
    for (const Note& note : tracks[melody]) {  // in start order
        if (note.channel == kDrumChannelIndex) continue;
        channels |= std::uint32_t{1} << (note.channel & 0x0F);
        if (!first && note.startTick + kLegatoTicks < soundingUntil) return true;
        soundingUntil = std::max(soundingUntil, note.endTick);
        first = false;
    }
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        if (t == melody) continue;
        for (const Note& note : tracks[t]) {
            if ((channels >> (note.channel & 0x0F)) & 1U) return true;
        }
    }
    return false;
}

std::size_t wordCount(const TimedLyrics& lyrics) {
    std::size_t words = 0;
    for (const TimedLine& line : lyrics.lines) words += line.words.size();
    return words;
}

}  // namespace kdb2mid
