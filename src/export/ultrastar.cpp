#include "export/ultrastar.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

constexpr int kMiddleC = 60;
// A word with no melody note of its own is held at most this long.
constexpr double kUnmeasuredNoteMs = 1000.0;
// How far back a word looks for a melody note still sounding at its tick; a
// melody plays one note at a time, so the one it needs is among the last few.
constexpr std::size_t kSoundingLookBack = 64;
// Times beyond this (a day) come from a broken tempo map; they are clamped so
// beat numbers stay far inside 64 bits.
constexpr double kLatestMs = 24.0 * 3600.0 * 1000.0;

// Text safe for one line of the file: control characters (C0, DEL, C1; line
// breaks among them) become spaces, bytes that are not UTF-8 become U+FFFD,
// and spaces at either end go.
std::string lineText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t codePoint = 0;
        const std::size_t size = utf8SequenceAt(text, pos, codePoint);
        if (size == 0) {
            appendUtf8(kReplacementCharacter, out);
            ++pos;
            continue;
        }
        if (isControlCharacter(codePoint)) {
            out += ' ';
        } else {
            out.append(text.substr(pos, size));
        }
        pos += size;
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

double clampMs(double seconds) {
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms) || ms < 0.0) return 0.0;
    return std::min(ms, kLatestMs);
}

// Written as it is, octave and all: folding it into a narrower range would
// draw a tune that steps up as one jumping down, and the games score a sung
// note whatever its octave anyway.
int pitchOf(std::uint8_t key) { return key - kMiddleC; }

// What a word is sung to.
struct Tone {
    int pitch = 0;
    bool freestyle = true;
    std::optional<double> endSeconds;  // when the melody note ends, if it is the word's own
};

class Melody {
public:
    explicit Melody(std::vector<TimedNote> notes) : notes_(std::move(notes)) {
        std::stable_sort(notes_.begin(), notes_.end(), [](const TimedNote& a, const TimedNote& b) {
            return a.note.startTick < b.note.startTick;
        });
    }

    Tone toneAt(std::uint64_t tick) const {
        if (notes_.empty()) return {};
        const auto at = std::lower_bound(
            notes_.begin(), notes_.end(), tick,
            [](const TimedNote& n, std::uint64_t t) { return n.note.startTick < t; });
        // A note beginning with the word; of a chord, the top note carries the tune.
        const TimedNote* best = nullptr;
        for (auto it = at; it != notes_.end() && it->note.startTick == tick; ++it) {
            if (best == nullptr || it->note.key > best->note.key) best = &*it;
        }
        if (best != nullptr) return {pitchOf(best->note.key), false, best->endSeconds};
        // Else the latest note that began before and still sounds.
        const auto first = at - std::min<std::ptrdiff_t>(at - notes_.begin(), kSoundingLookBack);
        for (auto it = at; it != first;) {
            --it;
            if (it->note.endTick > tick) return {pitchOf(it->note.key), false, it->endSeconds};
        }
        // Else the nearest note's pitch, for a word the melody doesn't play.
        const TimedNote* nearest = at != notes_.end() ? &*at : nullptr;
        if (at != notes_.begin()) {
            const TimedNote& before = *(at - 1);
            if (nearest == nullptr ||
                tick - before.note.startTick <= nearest->note.startTick - tick) {
                nearest = &before;
            }
        }
        return {pitchOf(nearest->note.key), false, std::nullopt};
    }

private:
    std::vector<TimedNote> notes_;
};

struct Syllable {
    std::string text;  // with its leading space after a phrase's first word
    double ms = 0.0;
    std::uint64_t tick = 0;
    bool phraseStart = false;
};

std::vector<Syllable> syllablesOf(const UltraStarInput& song) {
    std::vector<Syllable> out;
    for (const auto& phrase : song.phrases) {
        bool first = true;
        for (const UltraStarWord& word : phrase) {
            std::string text = lineText(word.text);
            if (text.empty()) continue;
            if (!first) text.insert(text.begin(), ' ');
            out.push_back({std::move(text), clampMs(word.seconds), word.tick, first});
            first = false;
        }
    }
    return out;
}

void header(std::string& out, std::string_view key, std::string_view value) {
    out += '#';
    out += key;
    out += ':';
    out += value;
    out += '\n';
}

}  // namespace

std::vector<TimedNote> timeNotes(std::span<const Note> notes,
                                 const std::function<double(std::uint64_t tick)>& secondsAt) {
    std::vector<TimedNote> timed;
    timed.reserve(notes.size());
    for (const Note& note : notes) {
        timed.push_back({note, secondsAt(note.startTick), secondsAt(note.endTick)});
    }
    return timed;
}

std::string writeUltraStar(const UltraStarInput& song) {
    const std::vector<Syllable> syllables = syllablesOf(song);
    const Melody melody(song.melody);

    double gapMs = 0.0;
    if (!syllables.empty()) {
        gapMs = std::floor(std::min_element(syllables.begin(), syllables.end(),
                                            [](const Syllable& a, const Syllable& b) {
                                                return a.ms < b.ms;
                                            })->ms);
    }
    // The beat a time falls in; times before #GAP fall in beat 0.
    const auto beatAt = [gapMs](double ms) {
        return static_cast<std::int64_t>(std::floor(std::max(0.0, ms - gapMs) / kUltraStarBeatMs));
    };

    std::string out;
    const bool split = !song.instrumentalFile.empty() && !song.vocalsFile.empty();
    header(out, "VERSION", split ? "1.1.0" : "1.0.0");
    header(out, "TITLE", lineText(song.title));
    header(out, "ARTIST", lineText(song.artist));
    if (song.vietnamese) header(out, "LANGUAGE", "Vietnamese");
    const std::string audio = lineText(song.audioFile);
    header(out, "AUDIO", audio);
    header(out, "MP3", audio);
    if (split) {
        header(out, "INSTRUMENTAL", lineText(song.instrumentalFile));
        header(out, "VOCALS", lineText(song.vocalsFile));
    }
    header(out, "BPM", std::to_string(kUltraStarBpm));
    header(out, "GAP", std::to_string(static_cast<std::int64_t>(gapMs)));

    std::int64_t end = 0;  // beat after the last note written
    for (std::size_t i = 0; i < syllables.size(); ++i) {
        const Syllable& syllable = syllables[i];
        std::int64_t start = beatAt(syllable.ms);
        if (i > 0 && syllable.phraseStart) {
            // The break takes the beat after the phrase's last note, so the
            // next phrase starts at least one beat later.
            out += "- " + std::to_string(end) + '\n';
            start = std::max(start, end + 1);
        } else {
            start = std::max(start, end);
        }

        const Tone tone = melody.toneAt(syllable.tick);
        std::int64_t last = beatAt(tone.endSeconds ? clampMs(*tone.endSeconds)
                                              : syllable.ms + kUnmeasuredNoteMs);
        if (i + 1 < syllables.size()) {
            const Syllable& next = syllables[i + 1];
            last = std::min(last, beatAt(next.ms) - (next.phraseStart ? 1 : 0));
        }
        end = std::max(start + 1, last);

        out += tone.freestyle ? "F " : ": ";
        out += std::to_string(start);
        out += ' ';
        out += std::to_string(end - start);
        out += ' ';
        out += std::to_string(tone.pitch);
        out += ' ';
        out += syllable.text;
        out += '\n';
    }
    out += "E\n";
    return out;
}

}  // namespace kdb2mid
