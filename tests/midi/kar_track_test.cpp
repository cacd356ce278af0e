#include "midi/kar_track.hpp"
#include "midi/midi_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi/text_track_reader.hpp"
#include "midi/vietnamese_song.hpp"
#include "format/vni_text.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;
using test::MetaEvent;

constexpr std::uint8_t kText = 0x01;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kLyric = 0x05;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes karaokeFile(const Bytes& record, LyricText text) {
    Bytes out;
    EXPECT_EQ(recordToKaraoke(record, out, text), RecordError::none);
    return out;
}

Bytes midiFile(const Bytes& record, LyricText text) {
    Bytes out;
    EXPECT_EQ(recordToMidi(record, out, text), RecordError::none);
    return out;
}

// The meta events of a file's last track.
std::vector<MetaEvent> lastTrack(const Bytes& file) {
    return test::readMetaEvents(test::readChunks(file).back().body);
}

struct Words {
    std::vector<std::string> headers;  // the text events at time 0 before the first lyric
    std::vector<std::string> lines;    // lyric texts joined, split where a "/" or "\" starts one
    std::vector<MetaEvent> lyrics;     // the lyric text events
};

Words readWords(const std::vector<MetaEvent>& events) {
    Words words;
    for (const MetaEvent& event : events) {
        if (event.type != kText) continue;
        if (words.lyrics.empty() && !event.data.empty() && event.data[0] == '@') {
            words.headers.push_back(event.data);
            continue;
        }
        words.lyrics.push_back(event);
        if (words.lines.empty() || event.data[0] == '/' || event.data[0] == '\\') {
            words.lines.push_back(event.data);
        } else {
            words.lines.back() += event.data;
        }
    }
    return words;
}

TEST(KaraokeFile, WordsTrackOfTheVietnameseSong) {
    const Bytes record = sample::buildRecord(test::vietnameseSong());
    const Bytes kar = karaokeFile(record, LyricText::utf8);
    const Bytes mid = midiFile(record, LyricText::utf8);

    // Header and data tracks exactly as in the .mid; only the last track differs.
    const std::vector<test::Chunk> karChunks = test::readChunks(kar);
    const std::vector<test::Chunk> midChunks = test::readChunks(mid);
    ASSERT_EQ(karChunks.size(), midChunks.size());
    for (std::size_t i = 0; i + 1 < karChunks.size(); ++i) {
        EXPECT_EQ(karChunks[i].id, midChunks[i].id);
        EXPECT_EQ(karChunks[i].body, midChunks[i].body);
    }

    const std::vector<MetaEvent> events = lastTrack(kar);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().type, kTrackName);
    EXPECT_EQ(events.front().data, "Words");
    EXPECT_EQ(events.back().type, 0x2F);
    for (const MetaEvent& event : events) EXPECT_NE(event.type, kLyric);

    const Words words = readWords(events);
    EXPECT_EQ(words.headers, (std::vector<std::string>{"@KMIDI KARAOKE FILE", "@V0100",
                                                       "@TBài Hát Thử", "@TDân ca"}));
    EXPECT_EQ(words.lines,
              (std::vector<std::string>{"\\ Xin chào", "/Người đi", "/Trống cơm",
                                        "/Bèo dạt mây trôi", "\\Đêm nay", "/Hết"}));

    // One text event per lyric event of the .mid, at the same time, with the
    // same text but for the line marks.
    std::vector<MetaEvent> midLyrics;
    for (const MetaEvent& event : lastTrack(mid)) {
        if (event.type == kLyric) midLyrics.push_back(event);
    }
    ASSERT_EQ(words.lyrics.size(), midLyrics.size());
    for (std::size_t i = 0; i < midLyrics.size(); ++i) {
        EXPECT_EQ(words.lyrics[i].time, midLyrics[i].time) << i;
        std::string text = words.lyrics[i].data;
        if (text[0] == '/' || text[0] == '\\') text.erase(0, 1);
        // The .mid's line ends; the .kar marks lines at their start instead.
        std::string midText = midLyrics[i].data;
        if (midText.back() == '\r' || midText.back() == '\n') midText.pop_back();
        EXPECT_EQ(text, midText) << i;
    }
    EXPECT_EQ(words.lyrics.front().time, test::lineStartTime(0));
    EXPECT_EQ(words.lyrics.back().time, test::lineStartTime(5) + 2 * test::kLetterStep);
}

TEST(KaraokeFile, StoredTextKeepsTheDatabaseBytes) {
    const Bytes record = sample::buildRecord(test::vietnameseSong());
    const Words words = readWords(lastTrack(karaokeFile(record, LyricText::stored)));
    EXPECT_EQ(words.headers[2], "@T" + test::kVietnameseTitles[0]);
    ASSERT_EQ(words.lines.size(), test::kVietnameseLines.size());
    EXPECT_EQ(words.lines[0], "\\" + test::kVietnameseLines[0]);
    EXPECT_EQ(words.lines[3], "/" + test::kVietnameseLines[3]);
}

TEST(KaraokeFile, PagesCountOnlyLinesWithText) {
    // Ten lines, the third and the seventh empty: eight lines are shown, a
    // page starting at the first and the fifth of them. An empty title is left out.
    std::vector<sample::LyricLine> lines;
    for (int i = 0; i < 10; ++i) {
        const bool empty = i == 2 || i == 6;
        sample::LyricLine line{i == 0 ? " " : "", i > 0, {}};
        if (!empty) line.text.push_back(static_cast<char>('a' + i));
        line.words.assign(sample::lyricEventCount(line.text), 10);
        lines.push_back(line);
    }
    sample::SongSpec song;
    song.lyricBlock = sample::buildLyricBlock({"T", ""}, lines);
    const Words words = readWords(lastTrack(karaokeFile(sample::buildRecord(song), LyricText::utf8)));
    EXPECT_EQ(words.headers, (std::vector<std::string>{"@KMIDI KARAOKE FILE", "@V0100", "@TT"}));
    EXPECT_EQ(words.lines,
              (std::vector<std::string>{"\\ a", "/b", "/d", "/e", "\\f", "/h", "/i", "/j"}));
}

TEST(KaraokeFile, LongTextsAreSplitIntoEventsUnder1000Bytes) {
    // A title of 1500 high bytes and a lyric event of one letter with 1499
    // joining bytes after it, varied so that the record does not compress
    // beyond what a song may.
    std::uint32_t seed = 1;
    auto varied = [&seed](int base, int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<char>(base + static_cast<int>((seed >> 16) % static_cast<unsigned>(range)));
    };
    std::string title;
    for (int i = 0; i < 1500; ++i) title += varied(0xA0, 0x60);
    std::string longLetter = "a";
    for (int i = 0; i < 1499; ++i) longLetter += varied(0x80, 0x46);  // 0x80-0xC5 all join
    sample::LyricLine first{" " + longLetter, false, {}};
    first.words.assign(sample::lyricEventCount(first.text), 100);
    sample::LyricLine second{"b", false, {207}};  // an absolute time
    sample::SongSpec song;
    song.lyricBlock = sample::buildLyricBlock({title}, {first, second});
    const Bytes record = sample::buildRecord(song);

    for (const LyricText text : {LyricText::utf8, LyricText::stored}) {
        const std::vector<MetaEvent> events = lastTrack(karaokeFile(record, text));
        std::string titleShown;
        std::string lettersShown;
        std::uint32_t lastTime = 0;
        int titlePieces = 0;
        int letterPieces = 0;
        for (const MetaEvent& event : events) {
            EXPECT_LT(event.data.size(), 1000u);
            if (event.type != kText) continue;
            if (event.data.rfind("@T", 0) == 0) {
                titleShown += event.data.substr(2);
                ++titlePieces;
            } else if (event.time == 200) {
                lettersShown += event.data;  // the long letter's pieces
                ++letterPieces;
            }
            if (text == LyricText::utf8 && !event.data.empty()) {
                // Every piece starts on a whole character.
                EXPECT_NE(static_cast<unsigned char>(event.data[0]) & 0xC0, 0x80);
            }
            lastTime = event.time;
        }
        const bool utf8 = text == LyricText::utf8;
        EXPECT_GE(titlePieces, 2);
        EXPECT_GE(letterPieces, 2);
        // (Compared as booleans: the texts are too long to print usefully.)
        EXPECT_TRUE(titleShown == (utf8 ? decodeVniToUtf8(bytesOf(title)) : title));
        EXPECT_TRUE(lettersShown == (utf8 ? decodeVniToUtf8(bytesOf(longLetter)) : longLetter));
        EXPECT_EQ(lastTime, 207u);  // the next line keeps its time
    }
}

TEST(KaraokeFile, RefusesWhatTheMidiFileRefuses) {
    Bytes record = sample::buildRecord(test::vietnameseSong());
    record.resize(21);
    Bytes out;
    EXPECT_EQ(recordToKaraoke(record, out, LyricText::utf8), RecordError::recordTooShort);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace kdb2mid
