// A small song whose titles and lyrics use the two-byte letter encoding, for
// the lyric text and karaoke tests and the karaoke check script's database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generator/database_writer.hpp"

namespace kdb2mid::test {

// Stored titles and lines, and how a player shows them (UTF-8).
inline const std::vector<std::string> kVietnameseTitles = {"Ba\xF8i Ha\xF9t Th\xF6\xFB", "Da\xE2n ca"};
inline const std::vector<std::string> kVietnameseTitlesShown = {"Bài Hát Thử", "Dân ca"};

inline const std::vector<std::string> kVietnameseLines = {
    " Xin cha\xF8o",               // the first line begins with the 0x20 that ends the titles
    "Ng\xF6\xF4\xF8i \xF1i",       // stored with the '0' line mark
    "Tro\xE1ng c\xF4m",
    "Be\xF8o da\xEFt ma\xE2y tro\xE2i",
    "\xD1\x65\xE2m nay",
    "He\xE1t",
};
inline const std::vector<std::string> kVietnameseLinesShown = {
    " Xin chào", "Người đi", "Trống cơm", "Bèo dạt mây trôi", "Đêm nay", "Hết",
};

// Line i starts at 480 + 960 i ticks; its letters follow 30 ticks apart.
inline std::uint32_t lineStartTime(std::size_t line) {
    return 480 + 960 * static_cast<std::uint32_t>(line);
}
inline constexpr std::uint16_t kLetterStep = 30;

inline sample::SongSpec vietnameseSong() {
    std::vector<sample::LyricLine> lines;
    for (std::size_t i = 0; i < kVietnameseLines.size(); ++i) {
        sample::LyricLine line{kVietnameseLines[i], i == 1, {}};
        const std::size_t events = sample::lyricEventCount(line.text);
        line.words.push_back(static_cast<std::uint16_t>(lineStartTime(i)));
        line.words.resize(events, kLetterStep);
        lines.push_back(line);
    }
    sample::SongSpec song;
    // A conductor track (tempo 500000 us per quarter) and one short melody track.
    song.tracks.push_back({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00});
    song.tracks.push_back({0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C,
                           0x40, 0x00, 0xFF, 0x2F, 0x00});
    song.lyricBlock = sample::buildLyricBlock(kVietnameseTitles, lines);
    return song;
}

}  // namespace kdb2mid::test
