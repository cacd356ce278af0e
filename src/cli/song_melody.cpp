#include "cli/song_melody.hpp"

#include <cmath>
#include <vector>

#include "export/timed_lyrics.hpp"
#include "export/ultrastar.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

MelodyFacts songMelody(const DecodedSong& song) {
    std::vector<std::uint64_t> wordTicks;
    for (const TimedLine& line : timedLyrics(song.imageBytes(), song.lyrics).lines) {
        for (const TimedWord& word : line.words) wordTicks.push_back(word.tick);
    }
    std::vector<std::vector<Note>> tracks;
    for (std::size_t j = 0; j < song.dataTrackCount(); ++j) {
        tracks.push_back(trackNotes(song.dataTrack(j)));
    }
    const MelodyChoice choice = findMelody(tracks, wordTicks);
    MelodyFacts melody;
    melody.track = choice.track >= 0 ? choice.track + 1 : 0;
    melody.words = wordTicks.size();
    // coverage is covered / words, so this gives the count back exactly.
    melody.covered = static_cast<std::size_t>(
        std::llround(choice.coverage * static_cast<double>(wordTicks.size())));
    return melody;
}

std::string describeMelody(const MelodyFacts& melody) {
    if (melody.words == 0) return "none (no words to sing)";
    const std::string percent = std::to_string(melody.covered * 100 / melody.words) + "%";
    if (melody.track == 0) return "none found (best track covers " + percent + " of words)";
    return "track " + std::to_string(melody.track) + ", " + std::to_string(melody.covered) +
           " of " + std::to_string(melody.words) + " words (" + percent + ")";
}

}  // namespace kdb2mid
