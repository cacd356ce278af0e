// A strict reader of UltraStar song text, for tests to read written songs
// back: every line must be a header, a note, a phrase break or the final E,
// ended by a line feed, with nothing after the E.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdb2mid::test {

struct UltraStarNoteLine {
    char type = ':';
    std::int64_t start = 0;
    std::int64_t length = 0;
    int pitch = 0;
    std::string text;
};

struct UltraStarSong {
    std::vector<std::pair<std::string, std::string>> headers;  // in file order
    std::vector<std::vector<UltraStarNoteLine>> phrases;        // notes between breaks
    std::vector<std::int64_t> breaks;                           // beats of the "- BEAT" lines

    // The value of a header, nothing when absent.
    std::optional<std::string> header(std::string_view key) const {
        for (const auto& [k, v] : headers) {
            if (k == key) return v;
        }
        return std::nullopt;
    }
    std::vector<UltraStarNoteLine> notes() const {
        std::vector<UltraStarNoteLine> all;
        for (const auto& phrase : phrases) all.insert(all.end(), phrase.begin(), phrase.end());
        return all;
    }
};

struct UltraStarRead {
    std::optional<UltraStarSong> song;
    std::string error;  // the first fault, with its line number
};

namespace detail {

template <typename T>
bool readNumber(std::string_view& rest, T& value) {
    const std::size_t space = rest.find(' ');
    const std::string_view field = rest.substr(0, space);
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc{} || end != field.data() + field.size() || field.empty()) return false;
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    return true;
}

}  // namespace detail

inline UltraStarRead readUltraStar(std::string_view text) {
    UltraStarRead result;
    const auto fail = [&](std::size_t line, const std::string& why) {
        result.error = "line " + std::to_string(line) + ": " + why;
        return result;
    };
    if (text.starts_with("\xEF\xBB\xBF")) return fail(1, "byte order mark");
    if (text.find('\r') != std::string_view::npos) return fail(0, "carriage return");
    if (!text.ends_with('\n')) return fail(0, "last line without line feed");
    UltraStarSong song;
    song.phrases.emplace_back();
    bool body = false;
    bool ended = false;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t lf = text.find('\n');
        const std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf + 1);
        if (ended) return fail(number, "text after E");
        if (line.starts_with('#')) {
            if (body) return fail(number, "header after the notes");
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos) return fail(number, "header without colon");
            song.headers.emplace_back(line.substr(1, colon - 1), line.substr(colon + 1));
            continue;
        }
        body = true;
        if (line == "E") {
            ended = true;
            continue;
        }
        if (line.starts_with("- ")) {
            std::string_view rest = line.substr(2);
            std::int64_t beat = 0;
            if (!detail::readNumber(rest, beat) || !rest.empty()) return fail(number, "bad break");
            song.breaks.push_back(beat);
            song.phrases.emplace_back();
            continue;
        }
        if (line.size() < 2 || std::string_view(":*FRG").find(line[0]) == std::string_view::npos ||
            line[1] != ' ') {
            return fail(number, "unknown line");
        }
        UltraStarNoteLine note;
        note.type = line[0];
        std::string_view rest = line.substr(2);
        if (!detail::readNumber(rest, note.start) || !detail::readNumber(rest, note.length) ||
            !detail::readNumber(rest, note.pitch) || rest.empty()) {
            return fail(number, "bad note");
        }
        note.text = rest;
        song.phrases.back().push_back(std::move(note));
    }
    if (!ended) return fail(number, "no E at the end");
    result.song = std::move(song);
    return result;
}

// What a game needs of the notes' order, as text (empty when all hold): notes
// in ascending order and apart, at least one beat long; each break after
// the last note before it has ended and before the next note starts; no
// phrase empty.
inline std::string timingFaults(const UltraStarSong& song) {
    std::string faults;
    std::int64_t end = 0;
    bool any = false;
    for (std::size_t p = 0; p < song.phrases.size(); ++p) {
        if (song.phrases[p].empty()) faults += "phrase " + std::to_string(p) + " empty; ";
        if (p > 0 && song.breaks[p - 1] < end) faults += "break inside a note; ";
        for (const UltraStarNoteLine& note : song.phrases[p]) {
            if (note.length < 1) faults += "note at " + std::to_string(note.start) + " too short; ";
            if (any && note.start < end) {
                faults += "overlap at " + std::to_string(note.start) + "; ";
            }
            if (p > 0 && &note == &song.phrases[p].front() && note.start <= song.breaks[p - 1]) {
                faults += "note at " + std::to_string(note.start) + " on its break; ";
            }
            end = note.start + note.length;
            any = true;
        }
    }
    return faults;
}

}  // namespace kdb2mid::test
