#include "serve/karaoke_song.hpp"

#include <array>
#include <cmath>

#include <nlohmann/json.hpp>

#include "export/timed_lyrics.hpp"
#include "format/byte_sink.hpp"
#include "format/utf8_text.hpp"
#include "inspect/melody.hpp"
#include "midi/midi_file.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

// JSON has no infinity or NaN; times go out to the millisecond.
double milliseconds(double seconds) {
    return std::isfinite(seconds) ? std::round(seconds * 1000) / 1000 : 0.0;
}

// The channel most of the track's notes play on (the lowest of equals).
std::optional<int> mainChannel(const std::vector<Note>& notes) {
    std::array<std::size_t, 16> counts{};
    for (const Note& note : notes) ++counts[note.channel & 0x0F];
    std::size_t best = 0;
    for (std::size_t channel = 1; channel < counts.size(); ++channel) {
        if (counts[channel] > counts[best]) best = channel;
    }
    if (counts[best] == 0) return std::nullopt;
    return static_cast<int>(best);
}

}  // namespace

RecordError makeKaraokeSong(std::int32_t number, std::span<const std::uint8_t> record,
                            DecodedSong& work, KaraokeSong& song) {
    if (const RecordError error = decodeSong(record, work); error != RecordError::none) {
        return error;
    }
    KaraokeSong made;
    made.song = number;
    std::vector<std::uint8_t> trackBuffer;
    VectorSink midi(made.midi);
    if (const RecordError error = writeMidiFile(work, LyricText::stored, midi, trackBuffer);
        error != RecordError::none) {
        return error;
    }
    TimedLyrics lyrics = timedLyrics(work.imageBytes(), work.lyrics);
    const SongTiming timing = songTiming(work.imageBytes(), work.table, work.lyrics);
    made.titles = std::move(lyrics.titles);
    made.seconds = timing.lengthSeconds();
    for (const TimedLine& line : lyrics.lines) {
        std::vector<KaraokeWord>& words = made.lines.emplace_back();
        words.reserve(line.words.size());
        for (const TimedWord& word : line.words) {
            words.push_back({word.text, timing.tempo.secondsAt(word.tick)});
        }
    }
    std::vector<std::vector<Note>> notes;
    const MelodyChoice melody = songMelody(work, lyrics, notes);
    if (melody.track >= 0) {
        made.melodyChannel = mainChannel(notes[static_cast<std::size_t>(melody.track)]);
    }
    song = std::move(made);
    return RecordError::none;
}

std::string karaokeJson(const KaraokeSong& song) {
    Json object = Json::object();
    object["song"] = song.song;
    Json titles = Json::array();
    for (const std::string& title : song.titles) titles.push_back(wellFormedUtf8(title));
    object["titles"] = std::move(titles);
    object["midi"] = base64(song.midi);
    object["melodyChannel"] = song.melodyChannel ? Json(*song.melodyChannel) : Json(nullptr);
    object["seconds"] = milliseconds(song.seconds);
    Json lines = Json::array();
    for (const std::vector<KaraokeWord>& line : song.lines) {
        Json words = Json::array();
        for (const KaraokeWord& word : line) {
            Json entry = Json::object();
            entry["text"] = wellFormedUtf8(word.text);
            entry["time"] = milliseconds(word.seconds);
            words.push_back(std::move(entry));
        }
        Json entry = Json::object();
        entry["words"] = std::move(words);
        lines.push_back(std::move(entry));
    }
    object["lines"] = std::move(lines);
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string base64(std::span<const std::uint8_t> bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = std::uint32_t{bytes[i]} << 16 |
                                    std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        const std::uint32_t group =
            std::uint32_t{bytes[i]} << 16 | (rest == 2 ? std::uint32_t{bytes[i + 1]} << 8 : 0U);
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

}  // namespace kdb2mid
