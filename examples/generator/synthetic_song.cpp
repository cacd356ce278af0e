#include "generator/synthetic_song.hpp"

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "format/byte_order.hpp"
#include "midi/midi_chunk.hpp"

namespace kdb2mid::sample {

namespace {

void appendVarLen(Bytes& out, std::uint32_t value) { writeVarLen(value, out); }

struct Note {
    std::uint8_t key;
    std::uint8_t velocity;
    std::uint32_t length;  // ticks
};

// One phrase: a handful of notes on a scale, lengths in eighths and quarters.
std::vector<Note> makePhrase(std::mt19937& random, int low, int span, std::size_t notes) {
    static constexpr std::array<int, 7> kScale{0, 2, 4, 5, 7, 9, 11};
    std::vector<Note> phrase;
    int degree = static_cast<int>(random() % 7);
    for (std::size_t i = 0; i < notes; ++i) {
        degree = std::clamp(degree + static_cast<int>(random() % 5) - 2, 0, span);
        const int key = low + 12 * (degree / 7) + kScale[static_cast<std::size_t>(degree % 7)];
        const std::uint32_t length = (random() % 3 == 0) ? 120 : 60;
        phrase.push_back({static_cast<std::uint8_t>(key),
                          static_cast<std::uint8_t>(80 + random() % 30), length});
    }
    return phrase;
}

// A track playing phrases one after another on a channel, with running status
// and note-off as note-on with velocity 0, as sequencers commonly store them.
Bytes playTrack(const std::vector<std::vector<Note>>& phrases, const std::vector<std::size_t>& form,
                std::uint8_t channel, std::uint8_t program, const std::string& name,
                std::mt19937& random) {
    Bytes track{0x00, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())};
    for (char c : name) track.push_back(static_cast<std::uint8_t>(c));
    track.insert(track.end(), {0x00, static_cast<std::uint8_t>(0xC0 | channel), program});
    track.insert(track.end(), {0x00, static_cast<std::uint8_t>(0xB0 | channel), 0x07, 100});
    const auto noteOn = static_cast<std::uint8_t>(0x90 | channel);
    std::uint32_t rest = 0;
    for (std::size_t which : form) {
        for (const Note& note : phrases[which]) {
            appendVarLen(track, rest);
            // Played by hand: velocities and lengths vary a little every time.
            track.insert(track.end(), {noteOn, note.key,
                                       static_cast<std::uint8_t>(note.velocity - random() % 24)});
            appendVarLen(track, note.length - 12 + static_cast<std::uint32_t>(random() % 5));
            track.insert(track.end(), {note.key, 0});
            rest = 10;
        }
    }
    appendVarLen(track, rest);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    return track;
}

const char* const kSyllables[] = {"la", "love", "night", "star", "sky", "heart", "day", "sing",
                                  "chào", "em", "anh", "mưa", "xuân", "đêm", "trăng", "gió"};

// The syllable in the database's letter encoding (a few Vietnamese ones
// carry two-byte letters).
std::string storedSyllable(std::size_t which) {
    switch (which) {
        case 8: return std::string("cha\xF8o");
        case 11: return std::string("m\xF6\xF9" "a");
        case 12: return std::string("xua\xE2n");
        case 13: return std::string("\xF1" "e\xE2" "m");
        case 14: return std::string("tra\xEA" "ng");
        case 15: return std::string("gio\xF9");
        default: return kSyllables[which];
    }
}

}  // namespace

SongSpec syntheticSong(std::uint32_t seed, std::size_t targetImageBytes) {
    std::mt19937 random(seed);
    SongSpec song;
    // Each pass of the form costs about this many image bytes over all tracks.
    const std::size_t phraseNotes = 8 + random() % 8;
    std::vector<std::vector<Note>> melody, bass, chords, drums;
    for (int i = 0; i < 4; ++i) {
        melody.push_back(makePhrase(random, 60, 10, phraseNotes));
        bass.push_back(makePhrase(random, 36, 6, phraseNotes / 2));
        chords.push_back(makePhrase(random, 52, 8, phraseNotes));
        drums.push_back(makePhrase(random, 35, 10, phraseNotes * 2));
    }
    const std::size_t bytesPerPhrase = phraseNotes * 7 * 5 + 120;
    const std::size_t passes = std::max<std::size_t>(1, targetImageBytes / bytesPerPhrase);
    std::vector<std::size_t> form;
    for (std::size_t i = 0; i < passes; ++i) form.push_back(random() % 5 == 0 ? random() % 4 : i % 4);

    Bytes conductor{0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08};
    conductor.insert(conductor.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    conductor.insert(conductor.end(), {0x00, 0xFF, 0x2F, 0x00});
    song.tracks.push_back(conductor);
    song.tracks.push_back(playTrack(melody, form, 0, 0, "Melody", random));
    song.tracks.push_back(playTrack(bass, form, 1, 33, "Bass", random));
    song.tracks.push_back(playTrack(chords, form, 2, 4, "Chords", random));
    song.tracks.push_back(playTrack(drums, form, 9, 0, "Drums", random));

    // One lyric line per pass, one syllable per melody note; letters after
    // the first of a syllable come 10 ticks apart.
    std::vector<LyricLine> lines;
    std::uint32_t now = 0;
    for (std::size_t pass = 0; pass < form.size() && now < 60000; ++pass) {
        LyricLine line;
        line.text = pass == 0 ? " " : "";
        std::uint32_t last = now;
        bool firstWord = true;
        for (const Note& note : melody[form[pass]]) {
            const std::string syllable = storedSyllable(random() % std::size(kSyllables));
            const std::string piece = (line.text.empty() || line.text == " ") ? syllable : " " + syllable;
            const std::size_t before = line.text.size();
            line.text += piece;
            const std::size_t events = lyricEventCount(line.text) - line.words.size();
            (void)before;
            for (std::size_t e = 0; e < events; ++e) {
                const std::uint32_t at = now + static_cast<std::uint32_t>(e) * 10;
                line.words.push_back(static_cast<std::uint16_t>(firstWord ? at : at - last));
                firstWord = false;
                last = at;
            }
            now += note.length;
        }
        line.mark = pass % 2 == 1;
        lines.push_back(std::move(line));
    }
    song.lyricBlock = buildLyricBlock({"Song " + std::to_string(seed), "Synthetic"}, lines);
    return song;
}

}  // namespace kdb2mid::sample
