#include "export/timed_lyrics.hpp"

#include <algorithm>
#include <cmath>

#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

// Space and the ASCII controls; every byte of a multi-byte UTF-8 character is
// 0x80 or above, so testing bytes is safe.
bool separates(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

}  // namespace

std::int64_t centiseconds(double seconds) noexcept {
    constexpr double kLongest = 1e9;
    if (!(seconds > 0)) return 0;  // also catches NaN
    return std::llround(std::min(seconds, kLongest) * 100);
}

TimedLyrics timedLyrics(std::span<const std::uint8_t> image, const LyricBlock& lyrics) {
    TimedLyrics timed;
    for (const TextRef& title : lyrics.titles) {
        std::string text = decodeVniToUtf8(textBytes(image, title));
        for (char& c : text) {
            if (separates(c)) c = ' ';
        }
        timed.titles.push_back(std::move(text));
    }

    std::uint64_t tick = 0;
    std::string decoded;
    TimedLine line;
    bool inWord = false;
    const auto endLine = [&] {
        if (!line.words.empty()) timed.lines.push_back(std::move(line));
        line = {};
        inWord = false;
    };
    for (const LyricEvent& event : lyrics.events) {
        if (event.firstInLine) endLine();
        tick += event.delta;
        // Most events are one plain ASCII letter, which decodes to itself.
        const std::span<const std::uint8_t> stored = textBytes(image, event.text);
        decoded.clear();
        if (stored.size() == 1 && stored[0] < 0x80) {
            decoded += static_cast<char>(stored[0]);
        } else {
            appendVniAsUtf8(stored, decoded);
        }
        for (const char c : decoded) {
            if (separates(c)) {
                inWord = false;
            } else if (inWord) {
                line.words.back().text += c;
            } else {
                line.words.push_back({std::string(1, c), tick});
                inWord = true;
            }
        }
    }
    endLine();
    return timed;
}

}  // namespace kdb2mid
