#include "format/lyric_block.hpp"

#include <algorithm>
#include <array>

#include "format/byte_order.hpp"
#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

constexpr std::uint8_t kTitleEnd = 0x20;
constexpr std::uint8_t kLineMark = 0x30;
constexpr std::size_t kSkippedLineBytes = 3;
// Lines start only below this many bytes before the image's end.
constexpr std::size_t kLineTailGuard = 8;


struct CodeSets {
    std::array<bool, 256> whole{};
    std::array<bool, 256> start{};
};

constexpr CodeSets makeCodeSets() {
    CodeSets sets;
    // Single-byte letters, upper and lower case: Ỉ Ì Í Ỵ Đ Ị Ĩ and ỉ ì í ỵ đ ị ĩ.
    constexpr std::uint8_t whole[] = {0xC6, 0xCC, 0xCD, 0xCE, 0xD1, 0xD2, 0xD3,
                                      0xE6, 0xEC, 0xED, 0xEE, 0xF1, 0xF2, 0xF3};
    // Ơ Ư ơ ư are letters of their own that still take a tone mark after them.
    constexpr std::uint8_t toneBases[] = {0xD4, 0xD6, 0xF4, 0xF6};
    for (std::uint8_t code : whole) sets.whole[code] = sets.start[code] = true;
    for (std::uint8_t code : toneBases) sets.start[code] = true;
    return sets;
}

constexpr CodeSets kCodeSets = makeCodeSets();

}  // namespace

bool isWholeLetterCode(std::uint8_t code) noexcept { return kCodeSets.whole[code]; }
bool isLetterStartCode(std::uint8_t code) noexcept { return kCodeSets.start[code]; }

bool closesLyricEvent(std::uint8_t current, std::uint8_t next) noexcept {
    return isWholeLetterCode(current) || next <= 0x7E || isLetterStartCode(next);
}

RecordError parseLyricBlock(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                            LyricBlock& lyrics) {
    lyrics.titles.clear();
    lyrics.events.clear();
    lyrics.lineCount = 0;
    const std::size_t k = image.size();
    const std::size_t lead = table.entries[table.entries.size() - 2];

    // Titles: each ends at a NUL; the byte after a NUL is either the 0x20 that
    // ends the list or a separator to skip.
    std::size_t p = lead + 1;
    std::size_t titleStart = p;
    while (p < k) {
        if (image[p] != 0) {
            ++p;
            continue;
        }
        const std::size_t length = p - titleStart;
        if (length > kMaxEventTextBytes) return RecordError::textTooLong;
        lyrics.titles.push_back(
            {static_cast<std::uint32_t>(titleStart), static_cast<std::uint32_t>(length)});
        ++p;
        if (p == k || image[p] == kTitleEnd) break;
        ++p;
        titleStart = p;
    }

    // Lyric lines. The running time is the absolute time of the last event.
    // Every event takes a text byte and a two-byte time word from the rest of
    // the image, which bounds their number: reserved once, the list never
    // holds two copies of itself while it grows.
    if (p < k) lyrics.events.reserve((k - p) / 3);
    std::int64_t runningTime = 0;
    while (p + kLineTailGuard < k) {
        if (image[p] == kLineMark) ++p;
        const std::size_t lineStart = p;
        const auto nul = std::find(image.begin() + static_cast<std::ptrdiff_t>(lineStart),
                                   image.end(), std::uint8_t{0});
        if (nul == image.end()) return RecordError::lyricLinePastImage;
        const auto textEnd = static_cast<std::size_t>(nul - image.begin());
        p = textEnd + 1 + kSkippedLineBytes;
        const auto line = lyrics.lineCount++;

        std::size_t eventStart = lineStart;
        bool first = true;
        for (std::size_t i = lineStart; i < textEnd; ++i) {
            if (!closesLyricEvent(image[i], image[i + 1])) continue;
            if (p + 2 > k) return RecordError::lyricLinePastImage;
            const std::uint16_t word = readBigEndian16(image, p);
            p += 2;
            std::uint16_t delta = word;
            if (first) {
                // The line's first word is an absolute time. A time before the
                // previous event cannot be expressed; the event keeps its place.
                delta = word >= runningTime ? static_cast<std::uint16_t>(word - runningTime) : 0;
            }
            runningTime += delta;
            const std::size_t length = i + 1 - eventStart;
            if (length > kMaxEventTextBytes) return RecordError::textTooLong;
            lyrics.events.push_back({{static_cast<std::uint32_t>(eventStart),
                                      static_cast<std::uint32_t>(length)},
                                     line, delta, first});
            first = false;
            eventStart = i + 1;
        }
    }
    return RecordError::none;
}

bool hasEncodedLetters(std::span<const std::uint8_t> image, const LyricBlock& lyrics) noexcept {
    for (const TextRef& title : lyrics.titles) {
        if (hasEncodedLetters(textBytes(image, title))) return true;
    }
    for (const LyricEvent& event : lyrics.events) {
        if (hasEncodedLetters(textBytes(image, event.text))) return true;
    }
    return false;
}

}  // namespace kdb2mid
