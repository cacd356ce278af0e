#include "cdg/cdg_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cdg/cdg_screen.hpp"
#include "cdg/line_layout.hpp"
#include "fake_font.hpp"

namespace kdb2mid::cdg {
namespace {

constexpr std::uint8_t kUnsung = 2;
constexpr std::uint8_t kSung = 6;

CdgLine line(std::initializer_list<std::pair<const char*, double>> words) {
    CdgLine out;
    for (const auto& [text, start] : words) out.words.push_back({text, start});
    return out;
}

// The screen after the file's first packets.
class Player {
public:
    explicit Player(const std::vector<std::uint8_t>& file) : file_(file) {}
    const Screen& at(double seconds) {
        const auto until = std::min(file_.size() / kPacketSize,
                                    static_cast<std::size_t>(seconds * kPacketsPerSecond));
        for (; played_ < until; ++played_) {
            Packet packet;
            std::copy_n(file_.begin() + static_cast<std::ptrdiff_t>(played_ * kPacketSize), kPacketSize,
                        packet.begin());
            screen_.apply(packet);
        }
        return screen_;
    }

private:
    const std::vector<std::uint8_t>& file_;
    Screen screen_;
    std::size_t played_ = 0;
};

std::size_t count(const Screen& screen, std::uint8_t colour) {
    std::size_t n = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) n += screen.at(x, y) == colour ? 1U : 0U;
    }
    return n;
}

// Whether any pixel in tile rows [top, top + 3) has colour.
bool slotHas(const Screen& screen, int topRow, std::uint8_t colour) {
    for (int y = topRow * kTileHeight; y < (topRow + kLineTileRows) * kTileHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            if (screen.at(x, y) == colour) return true;
        }
    }
    return false;
}

TEST(CdgWriter, LengthIsTheMusicsInWholePackets) {
    struct Case {
        double seconds;
        std::size_t packets;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {{0, 0}, {-3, 0}, {nan, 0}, {10.0, 3000}, {1.0 / 300, 1}, {0.001, 1},
                          {2.5001, 751}, {1e9, 3 * 3600 * 300}};
    for (const Case& c : cases) EXPECT_EQ(cdgPacketCount(c.seconds), c.packets) << c.seconds;

    test::BlockFont font;
    CdgInput input{"Title", "Artist", {line({{"one", 3}, {"two", 4}})}, 12.34};
    EXPECT_EQ(writeCdg(input, font).size(), 3702 * kPacketSize);
}

// Eight lines of three words, one word a second from 5 s: each line is on
// screen (in the unsung colour) well before its first word, and each word
// turns to the sung colour within 0.1 s of its time.
TEST(CdgWriter, LinesBeforeTheirWordsAndWipesOnTime) {
    test::BlockFont font;
    CdgInput input{"Title", "Artist", {}, 40};
    for (int n = 0; n < 8; ++n) {
        const double t = 5 + 3 * n;
        input.lines.push_back(line({{"la", t}, {"lala", t + 1}, {"la", t + 2}}));
    }
    const std::vector<std::uint8_t> file = writeCdg(input, font);
    Player player(file);

    // The title screen first: the title's and artist's places hold letters.
    EXPECT_TRUE(slotHas(player.at(1.0), 5, 3));
    EXPECT_TRUE(slotHas(player.at(1.0), 9, kUnsung));
    for (int n = 0; n < 8; ++n) {
        const int slot = 1 + 4 * (n % 4);
        const double t = 5 + 3 * n;
        const Screen& before = player.at(t - 0.5);
        EXPECT_TRUE(slotHas(before, slot, kUnsung)) << "line " << n;
        EXPECT_FALSE(slotHas(before, slot, kSung)) << "line " << n;
        EXPECT_TRUE(slotHas(player.at(t + 0.1), slot, kSung)) << "line " << n;
    }
    // After the last word every letter of the last four lines is sung.
    const Screen& end = player.at(40);
    EXPECT_EQ(count(end, kUnsung), 0U);
    EXPECT_GT(count(end, kSung), 0U);
}

// Songs of 60 lines of eight words, ever faster: each line is drawn whole
// well before its first word and each wipe goes out on time while the screen
// keeps up; past that, lines are left out and the rest stays near time.
TEST(CdgWriter, KeepsTimeOrLeavesLinesOut) {
    struct Case {
        double perWord;
        bool keepsUp;
    };
    const Case cases[] = {{0.6, true}, {0.3, true}, {0.2, true}, {0.04, false}};
    test::BlockFont font;
    for (const Case& c : cases) {
        CdgInput input{"", "", {}, 0};
        double t = 2;
        for (int n = 0; n < 60; ++n) {
            CdgLine& words = input.lines.emplace_back();
            for (int w = 0; w < 8; ++w, t += c.perWord) words.words.push_back({"ab", t});
        }
        input.musicSeconds = t + 1;
        CdgTiming timing;
        writeCdg(input, font, &timing);
        EXPECT_EQ(timing.screenLines, 60U) << c.perWord;
        EXPECT_EQ(timing.linesDrawn + timing.linesLeftOut, 60U) << c.perWord;
        if (c.keepsUp) {
            EXPECT_EQ(timing.linesLeftOut, 0U) << c.perWord;
            EXPECT_GE(timing.earliestLead, 0.5) << c.perWord;
            EXPECT_LE(timing.latestWipe, 0.1) << c.perWord;
        } else {
            EXPECT_GT(timing.linesLeftOut, 0U) << c.perWord;
            EXPECT_LE(timing.latestWipe, 8 * c.perWord + 0.5) << c.perWord;
        }
    }
}

// Hostile lines: the file keeps its length, every packet is a graphics
// packet the player understands or an empty one, bytes below 0x40.
TEST(CdgWriter, HostileLinesStayBounded) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CdgLine thousand;
    for (int i = 0; i < 1000; ++i) thousand.words.push_back({"word", 1 + i * 0.01});
    CdgLine giant;
    giant.words.push_back({std::string(5000, 'W'), 2});
    struct Case {
        const char* name;
        std::vector<CdgLine> lines;
    };
    const Case cases[] = {
        {"a thousand words", {thousand}},
        {"a word wider than the screen", {giant}},
        {"times going backwards", {line({{"c", 9}, {"b", 5}, {"a", 1}}), line({{"z", 0.5}})}},
        {"times that are not numbers", {line({{"a", nan}, {"b", -inf}, {"c", inf}, {"d", -4}})}},
        {"no letters", {line({{"", 1}, {"", 2}}), CdgLine{}}},
        {"words after the music", {line({{"late", 500}})}},
        {"many lines at one time", std::vector<CdgLine>(200, line({{"x", 3}, {"y", 3}}))},
    };
    test::BlockFont font;
    for (const Case& c : cases) {
        const CdgInput input{std::string(3000, 'T'), "", c.lines, 20};
        const std::vector<std::uint8_t> file = writeCdg(input, font);
        ASSERT_EQ(file.size(), 6000 * kPacketSize) << c.name;
        for (std::size_t at = 0; at < file.size(); at += kPacketSize) {
            const std::uint8_t command = file[at];
            ASSERT_TRUE(command == 0 || command == kGraphicsCommand) << c.name;
            for (std::size_t i = 0; i < kPacketSize; ++i) ASSERT_LT(file[at + i], 0x40) << c.name;
            if (file[at + 1] == 6 || file[at + 1] == 38) {
                ASSERT_LT(file[at + 6], kTileRows - 1) << c.name;
                ASSERT_GE(file[at + 7], 1) << c.name;
                ASSERT_LE(file[at + 7], kTileColumns - 2) << c.name;
            }
        }
    }
}

TEST(CdgLayout, LinesShrinkThenWrap) {
    test::BlockFont font;
    struct Case {
        std::size_t letters;  // in one word each of four words
        std::vector<int> sizes;
        std::vector<std::size_t> wordsPerLine;
        std::size_t keptLetters = 0;  // of a word too wide alone, before its ellipsis
    };
    // At 24 px a letter is 12 px and a space 8: four words of 5 letters fill
    // 264 of the 270 px inside the margin; of 6, only at 20 px (10 px
    // letters, 6 px spaces: 258). Of 7 they wrap at 24 px: three words would
    // fit the first line, but two and two are more even. Of 60 letters every
    // word is a line of its own, its first 21 letters and an ellipsis.
    const Case cases[] = {
        {5, {24}, {4}},
        {6, {20}, {4}},
        {7, {24, 24}, {2, 2}},
        {60, {24, 24, 24, 24}, {1, 1, 1, 1}, 21},
    };
    for (const Case& c : cases) {
        const std::string word(c.letters, 'a');
        const std::vector<std::string_view> texts(4, word);
        const std::vector<ScreenLine> lines = layoutWords(texts, 0, 4, font);
        ASSERT_EQ(lines.size(), c.sizes.size()) << c.letters;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].pixelSize, c.sizes[i]) << c.letters;
            EXPECT_EQ(lines[i].words.size(), c.wordsPerLine[i]) << c.letters;
            EXPECT_GE(lines[i].words.front().x, 0);
            const std::string expected =
                c.keptLetters == 0 ? "" : std::string(c.keptLetters, 'a') + "\u2026";
            EXPECT_EQ(lines[i].words.front().shortened, expected) << c.letters;
        }
    }
}

TEST(CdgLayout, OutlineRingsEveryLetterInsideTheLine) {
    test::BlockFont font;
    // At 18 px a block letter is 8 x 12 px standing on the baseline (rows
    // 16-27). Word 1 starts at the left edge; word 2 runs past the right one.
    const std::vector<std::string_view> texts = {"a", "aa"};
    const ScreenLine line{18, {{0, 0}, {1, kLineWidth - 8}}};
    const LineImage image = drawScreenLine(line, texts, font);
    struct Probe {
        int x, y;
        Ink ink;
        std::uint16_t owner;
    };
    const Probe probes[] = {
        {0, 16, Ink::letter, 1},      {7, 27, Ink::letter, 1},
        {8, 15, Ink::outline, 0},     {8, 28, Ink::outline, 0},     {0, 15, Ink::outline, 0},
        {9, 16, Ink::background, 0},  {0, 14, Ink::background, 0},  {3, 29, Ink::background, 0},
        {kLineWidth - 1, 23, Ink::letter, 2}, {kLineWidth - 9, 23, Ink::outline, 0},
        {kLineWidth - 10, 23, Ink::background, 0},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(image.inkAt(p.x, p.y), p.ink) << p.x << "," << p.y;
        EXPECT_EQ(image.ownerAt(p.x, p.y), p.owner) << p.x << "," << p.y;
    }
    EXPECT_TRUE(drawScreenLine(ScreenLine{18, {}}, texts, font).blank);
}

}  // namespace
}  // namespace kdb2mid::cdg
