// The .cdg as an independent player shows it: FFmpeg's cdgraphics decoder,
// with the real font. Skipped without ffmpeg or the font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdg/cdg_lyrics.hpp"
#include "cdg/cdg_screen.hpp"
#include "cdg/cdg_writer.hpp"
#include "cdg/freetype_raster.hpp"
#include "cdg/line_layout.hpp"
#include "export/timed_lyrics.hpp"
#include "format/decoded_song.hpp"
#include "io/song_database.hpp"
#include "midi/tempo_map.hpp"
#include "test_support.hpp"

namespace kdb2mid::cdg {
namespace {

std::unique_ptr<FreeTypeRasteriser> defaultFont() {
    std::string error;
    return FreeTypeRasteriser::open(kDefaultFontPath, error);
}

TEST(CdgFont, VietnameseLettersWholeAndMissingLettersTakeRoom) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    for (const int size : kFontSizes) {
        // A capital with two stacked marks and a descender fit the line.
        const InkBitmap tall = font->render("Ẫgỵ", size);
        EXPECT_LE(tall.top, kBaseline - 1) << size;
        EXPECT_LE(tall.height - tall.top, kLineHeight - kBaseline - 1) << size;
        // A letter the font lacks (a private-use code point) and a byte that
        // is not UTF-8 are drawn as the replacement glyph, as wide as it.
        const InkBitmap replacement = font->render("\xEF\xBF\xBD", size);
        const InkBitmap missing = font->render("\xEE\x80\x80", size);
        const InkBitmap broken = font->render("\xC3", size);
        EXPECT_GT(replacement.advance, 0);
        EXPECT_EQ(missing.advance, replacement.advance);
        EXPECT_EQ(broken.ink, replacement.ink);
        EXPECT_EQ(font->render("a\xEE\x80\x80" "b", size).advance,
                  font->render("a", size).advance + replacement.advance + font->render("b", size).advance);
    }
}

// The runs of rows with ink in a picture, from the top: a letter whose
// marks stand apart from it and from each other shows one run for each
// (ẫ: tilde, circumflex, letter), so the outline drawn round each leaves
// them apart too.
int inkRuns(const InkBitmap& picture) {
    int runs = 0;
    bool inRun = false;
    for (int y = 0; y < picture.height; ++y) {
        bool any = false;
        for (int x = 0; x < picture.width; ++x) any = any || picture.at(x, y);
        if (any && !inRun) ++runs;
        inRun = any;
    }
    return runs;
}

TEST(CdgFont, StackedMarksStandApartAtEverySize) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    struct Case {
        const char* letter;
        const char* plain;
        int runs;
    };
    const Case cases[] = {{"ẫ", "a", 3}, {"Ẫ", "A", 3}, {"ễ", "e", 3}, {"Ễ", "E", 3}, {"ỗ", "o", 3},
                          {"Ỗ", "O", 3}, {"ẵ", "a", 3}, {"Ẵ", "A", 3}, {"â", "a", 2}, {"ê", "e", 2},
                          {"ô", "o", 2}};
    for (const int size : kFontSizes) {
        for (const Case& c : cases) {
            const InkBitmap picture = font->render(c.letter, size);
            EXPECT_EQ(inkRuns(picture), c.runs) << c.letter << " at " << size;
            // As wide as the plain letter, so a line keeps its length.
            EXPECT_EQ(picture.advance, font->render(c.plain, size).advance) << c.letter << " at " << size;
        }
    }
}

// The circumflex alone over â, ê and ô: a grave or an acute leans to one
// side and a diaeresis is two dots side by side, so a hat that reads as
// neither is a mirror image of itself, rises to a point narrower than its
// foot and stands over the letter's middle.
TEST(CdgFont, LoneCircumflexIsAPointedHatOverTheLetter) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    for (const int size : kFontSizes) {
        for (const char* letter : {"â", "ê", "ô"}) {
            const InkBitmap picture = font->render(letter, size);
            // Each row's leftmost and rightmost ink, or nothing for an empty row.
            std::vector<std::optional<std::pair<int, int>>> rows(static_cast<std::size_t>(picture.height));
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    if (!picture.at(x, y)) continue;
                    auto& row = rows[static_cast<std::size_t>(y)];
                    row = row ? std::pair{row->first, x} : std::pair{x, x};
                }
            }
            const auto gap = std::find(rows.begin(), rows.end(), std::nullopt);
            ASSERT_NE(gap, rows.end()) << letter << " at " << size << ": the hat touches the letter";
            const std::vector<std::optional<std::pair<int, int>>> hat(rows.begin(), gap);
            int letterLeft = picture.width;
            int letterRight = -1;
            for (auto at = gap; at != rows.end(); ++at) {
                if (!*at) continue;
                letterLeft = std::min(letterLeft, (*at)->first);
                letterRight = std::max(letterRight, (*at)->second);
            }
            ASSERT_GE(hat.size(), 2u) << letter << " at " << size;
            ASSERT_GE(letterRight, 0) << letter << " at " << size;
            const int axis2 = hat[0]->first + hat[0]->second;  // twice the hat's axis
            for (int y = 0; y < static_cast<int>(hat.size()); ++y) {
                const auto [left, right] = *hat[static_cast<std::size_t>(y)];
                EXPECT_EQ(left + right, axis2) << letter << " at " << size << ", row " << y;
                for (int x = left; x <= right; ++x) {
                    EXPECT_EQ(picture.at(x, y), picture.at(axis2 - x, y))
                        << letter << " at " << size << ", row " << y << ", column " << x;
                }
                if (y > 0) {
                    EXPECT_GT(right - left, hat[0]->second - hat[0]->first) << letter << " at " << size;
                }
            }
            EXPECT_LE(std::abs(axis2 - (letterLeft + letterRight)), 2) << letter << " at " << size;
        }
    }
}

// Every sample song's lines drawn whole at least half a second before their
// first word, every word's wipe sent within 0.1 s of its time.
TEST(CdgWriter, SampleSongsKeepTime) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    SongDatabase database;
    ASSERT_EQ(database.open(test::sampleDatabaseDir()), SongDatabase::OpenError::none);
    DecodedSong work;
    for (const std::int32_t song : {50001, 50002, 50003, 50004, 50005}) {
        SCOPED_TRACE(song);
        std::vector<std::uint8_t> record;
        ASSERT_TRUE(database.readRecord(database.locate(song), record));
        ASSERT_EQ(decodeSong(record, work), RecordError::none);
        const std::span<const std::uint8_t> image = work.image.bytes();
        const SongTiming timing = songTiming(image, work.table, work.lyrics);
        const CdgInput input = cdgInput(timedLyrics(image, work.lyrics), timing.tempo,
                                        timing.lengthSeconds() + 2);
        CdgTiming kept;
        writeCdg(input, *font, &kept);
        EXPECT_GT(kept.screenLines, 0U);
        EXPECT_EQ(kept.linesDrawn, kept.screenLines);
        EXPECT_GE(kept.earliestLead, 0.5);
        EXPECT_LE(kept.latestWipe, 0.1);
    }
}

// The pixels that turn from unsung to sung between two times, by our own
// reading of the file.
std::vector<std::pair<int, int>> wipedBetween(const std::vector<std::uint8_t>& file, double from,
                                              double to) {
    Screen screen;
    Screen before;
    const auto packets = file.size() / kPacketSize;
    for (std::size_t i = 0; i < packets; ++i) {
        if (static_cast<double>(i) == std::floor(from * kPacketsPerSecond)) before = screen;
        if (static_cast<double>(i) >= to * kPacketsPerSecond) break;
        Packet packet;
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(i * kPacketSize), kPacketSize, packet.begin());
        screen.apply(packet);
    }
    std::vector<std::pair<int, int>> pixels;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            if (before.at(x, y) == 2 && screen.at(x, y) == 6) pixels.emplace_back(x, y);
        }
    }
    return pixels;
}

// The frames FFmpeg decodes from a .cdg at rate a second that select (an
// expression over the frame number n) picks, packed RGB, in time order.
std::vector<char> ffmpegFrames(const std::vector<std::uint8_t>& file, int rate, const std::string& select) {
    test::TempDir dir;
    {
        std::ofstream out(dir / "song.cdg", std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    const std::string command = "ffmpeg -v error -f cdg -i '" + (dir / "song.cdg").string() + "' -vf \"fps=" +
                                std::to_string(rate) + ",select='" + select + "'\" -vsync 0 " +
                                "-f rawvideo -pix_fmt rgb24 '" + (dir / "frames.rgb").string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(dir / "frames.rgb", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CdgReadBack, FfmpegShowsTheLineBeforeItsWordAndTheWordSungAfter) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";

    CdgInput input{"Trống Cơm", "Dân ca", {}, 8};
    input.lines.push_back({{{"Tình", 3.0}, {"bằng", 4.0}, {"có", 4.5}, {"cái", 5.0}}});
    input.lines.push_back({{{"Ẫm", 6.0}, {"ngộ", 6.5}}});
    const std::vector<std::uint8_t> file = writeCdg(input, *font);
    ASSERT_EQ(file.size(), 8 * kBytesPerSecond);

    // "Tình" is sung from 3.0 s to 4.0 s.
    const std::vector<std::pair<int, int>> word = wipedBetween(file, 2.5, 3.95);
    ASSERT_GT(word.size(), 20U);

    test::TempDir dir;
    {
        std::ofstream out(dir / "song.cdg", std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    // Frames at 2.5 s and 4.0 s, ten a second.
    const std::string command = "ffmpeg -v error -f cdg -i '" + (dir / "song.cdg").string() +
                                "' -vf \"fps=10,select='eq(n\\,25)+eq(n\\,40)'\" -vsync 0 "
                                "-f rawvideo -pix_fmt rgb24 '" + (dir / "frames.rgb").string() +
                                "' 2>'" + (dir / "errors.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream errors(dir / "errors.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(errors), {}), "");
    std::ifstream in(dir / "frames.rgb", std::ios::binary);
    const std::vector<char> frames((std::istreambuf_iterator<char>(in)), {});
    const std::size_t frameSize = kScreenWidth * kScreenHeight * 3;
    ASSERT_EQ(frames.size(), 2 * frameSize);

    const auto rgb = [&frames, frameSize](int frame, std::pair<int, int> at) {
        const std::size_t i = static_cast<std::size_t>(frame) * frameSize +
                              static_cast<std::size_t>(at.second * kScreenWidth + at.first) * 3;
        return std::array<int, 3>{static_cast<unsigned char>(frames[i]),
                                  static_cast<unsigned char>(frames[i + 1]),
                                  static_cast<unsigned char>(frames[i + 2])};
    };
    const std::array<int, 3> white = {255, 255, 255};
    const std::array<int, 3> yellow = {255, 221, 0};
    for (const auto& pixel : word) {
        ASSERT_EQ(rgb(0, pixel), white) << pixel.first << "," << pixel.second;
        ASSERT_EQ(rgb(1, pixel), yellow) << pixel.first << "," << pixel.second;
    }
}

// Lyric lines too long for one place, sung back to back as in the sample
// songs: each fills two of the four places, so the next one can only be drawn
// once the line before the current one is sung. FFmpeg shows the next line
// whole (every letter its wipes will turn, in the unsung colour) soon after
// the current line's first word, and still whole just before its own.
TEST(CdgReadBack, NextLineWholeSoonAfterTheCurrentLineStarts) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";

    const std::vector<std::vector<std::pair<const char*, double>>> lyrics = {
        {{"Frère", 2}, {"Jacques,", 3}, {"frère", 4}, {"Jacques,", 5}},
        {{"dormez-vous?", 6}, {"dormez-vous?", 8}},
        {{"Sonnez", 10}, {"les", 10.5}, {"matines,", 10.75}, {"sonnez", 12}, {"les", 12.5}, {"matines,", 12.75}},
        {{"ding,", 14}, {"dang,", 14.5}, {"dong.", 15}, {"ding,", 16}, {"dang,", 16.5}, {"dong.", 17}},
        {{"Frère", 18}, {"Jacques,", 19}, {"frère", 20}, {"Jacques,", 21}},
    };
    CdgInput input{"Frère Jacques", "", {}, 24};
    for (const auto& words : lyrics) {
        CdgLine& line = input.lines.emplace_back();
        for (const auto& [text, start] : words) line.words.push_back({text, start});
    }
    const std::vector<std::uint8_t> file = writeCdg(input, *font);
    // A line's letters: what each of its words' wipes turns sung in the word's own time.
    const auto letters = [&](std::size_t n) {
        std::vector<std::pair<int, int>> all;
        const auto& words = lyrics[n];
        for (std::size_t j = 0; j < words.size(); ++j) {
            const double next = j + 1 < words.size()     ? words[j + 1].second
                                : n + 1 < lyrics.size() ? lyrics[n + 1][0].second
                                                        : input.musicSeconds;
            const auto part = wipedBetween(file, words[j].second, std::min(next, words[j].second + 1));
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    // Twenty frames a second: from each of lines 2 to 4's first word 1.5 s on,
    // and the frame before the line after it starts.
    constexpr int kRate = 20;
    constexpr int kWindow = 30;
    std::string select;
    for (std::size_t n = 1; n <= 3; ++n) {
        const auto first = std::to_string(static_cast<int>(lyrics[n][0].second * kRate));
        const auto end = std::to_string(static_cast<int>(lyrics[n][0].second * kRate) + kWindow - 1);
        const auto before = std::to_string(static_cast<int>(lyrics[n + 1][0].second * kRate) - 1);
        if (!select.empty()) select += '+';
        select += "between(n\\," + first + "\\," + end + ")+eq(n\\," + before + ")";
    }
    const std::vector<char> frames = ffmpegFrames(file, kRate, select);
    const std::size_t frameSize = kScreenWidth * kScreenHeight * 3;
    ASSERT_EQ(frames.size(), 3 * (kWindow + 1) * frameSize);

    const auto whole = [&](std::size_t frame, const std::vector<std::pair<int, int>>& pixels) {
        return std::all_of(pixels.begin(), pixels.end(), [&](std::pair<int, int> at) {
            const std::size_t i = frame * frameSize + static_cast<std::size_t>(at.second * kScreenWidth + at.first) * 3;
            return frames[i] == '\xff' && frames[i + 1] == '\xff' && frames[i + 2] == '\xff';
        });
    };
    for (std::size_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const auto next = letters(n + 1);
        ASSERT_GT(next.size(), 200U);
        const auto [low, high] = std::minmax_element(next.begin(), next.end(), [](auto a, auto b) {
            return a.second < b.second;
        });
        EXPECT_GT(high->second - low->second, kLineTileRows * kTileHeight) << "the line is not in two places";
        const std::size_t base = (n - 1) * (kWindow + 1);
        std::size_t shown = 0;
        while (shown < kWindow && !whole(base + shown, next)) ++shown;
        EXPECT_LE(shown, 18U) << "frames of 1/20 s after the line's first word (0.9 s)";
        for (std::size_t f = shown; f <= kWindow; ++f) EXPECT_TRUE(whole(base + f, next)) << f;
    }
}

// A break of 20 s as FFmpeg shows it: the sung lines gone, the title at the
// top and a bar below that is shorter later in the break, no lyrics until
// 8 s before the next line.
TEST(CdgReadBack, BreakShowsTheTitleAndABarRunningOut) {
    const auto font = defaultFont();
    if (!font) GTEST_SKIP() << "no " << kDefaultFontPath;
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";

    CdgInput input{"Trống Cơm", "Dân ca", {}, 30};
    input.lines.push_back({{{"Tình", 3.0}, {"bằng", 3.5}}});
    input.lines.push_back({{{"Ẫm", 25.0}, {"ngộ", 25.5}}});
    const std::vector<std::uint8_t> file = writeCdg(input, *font);
    // Frames at 8 s, 14 s and 24 s, ten a second.
    const std::vector<char> frames = ffmpegFrames(file, 10, "eq(n\\,80)+eq(n\\,140)+eq(n\\,240)");
    const std::size_t frameSize = kScreenWidth * kScreenHeight * 3;
    ASSERT_EQ(frames.size(), 3 * frameSize);

    // Pixels of a colour in rows [top, bottom) of a frame.
    const auto count = [&](int frame, std::array<int, 3> colour, int top, int bottom) {
        int found = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(frame) * frameSize +
                                      static_cast<std::size_t>(y * kScreenWidth + x) * 3;
                found += std::array<int, 3>{static_cast<unsigned char>(frames[i]),
                                            static_cast<unsigned char>(frames[i + 1]),
                                            static_cast<unsigned char>(frames[i + 2])} == colour;
            }
        }
        return found;
    };
    const std::array<int, 3> white = {255, 255, 255};
    const std::array<int, 3> yellow = {255, 221, 0};
    const std::array<int, 3> title = {153, 221, 255};
    const int barTop = kScreenHeight * 85 / 100;
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_GT(count(frame, title, 0, kScreenHeight / 4), 50) << frame;
        EXPECT_EQ(count(frame, white, 0, kScreenHeight), 0) << frame;
        EXPECT_EQ(count(frame, yellow, 0, barTop), 0) << frame;
    }
    const int early = count(0, yellow, barTop, kScreenHeight);
    const int later = count(1, yellow, barTop, kScreenHeight);
    EXPECT_GT(early, later);
    EXPECT_GT(later, 0);
    EXPECT_GT(count(2, white, 0, kScreenHeight), 50) << "the next line, drawn 8 s before";
}

}  // namespace
}  // namespace kdb2mid::cdg
