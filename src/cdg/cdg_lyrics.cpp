#include "cdg/cdg_lyrics.hpp"

namespace kdb2mid::cdg {

CdgInput cdgInput(const TimedLyrics& lyrics, const TempoMap& tempo, double musicSeconds,
                  double leadInSeconds) {
    CdgInput input;
    if (!lyrics.titles.empty()) input.title = lyrics.titles[0];
    if (lyrics.titles.size() > 1) input.artist = lyrics.titles[1];
    input.musicSeconds = musicSeconds;
    input.lines.reserve(lyrics.lines.size());
    for (const TimedLine& line : lyrics.lines) {
        CdgLine& out = input.lines.emplace_back();
        out.words.reserve(line.words.size());
        for (const TimedWord& word : line.words) {
            out.words.push_back({word.text, tempo.secondsAt(word.tick) + leadInSeconds});
        }
    }
    return input;
}

}  // namespace kdb2mid::cdg
