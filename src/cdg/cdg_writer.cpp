#include "cdg/cdg_writer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <queue>
#include <string_view>

#include "cdg/cdg_packet.hpp"
#include "cdg/cdg_screen.hpp"
#include "cdg/line_layout.hpp"

namespace kdb2mid::cdg {

namespace {

// The colour table. A wipe XORs a letter pixel with kUnsung ^ kSung; drawing
// XORs outline pixels that are letters with kOutline ^ (letter colour).
constexpr std::uint8_t kBackground = 0;
constexpr std::uint8_t kOutline = 1;
constexpr std::uint8_t kUnsung = 2;
constexpr std::uint8_t kTitle = 3;
constexpr std::uint8_t kSung = 6;
constexpr std::array<Rgb12, kColourCount> kColours = {{
    {0, 0, 5},     // background: dark blue
    {0, 0, 0},     // outline: black
    {15, 15, 15},  // unsung: white
    {9, 13, 15},   // title: light blue
    {}, {},
    {15, 13, 0},   // sung: yellow
    {}, {}, {}, {}, {}, {}, {}, {}, {},
}};

// The first tile row of each of the four places a screen line is drawn in.
constexpr std::array<int, 4> kSlotRows = {1, 5, 9, 13};
constexpr std::size_t kSlots = kSlotRows.size();
constexpr std::uint8_t kPresetRepeats = 16;

constexpr double kMaxWipeSeconds = 1.0;
// A line is drawn at most this long before its first word.
constexpr std::int64_t kReadAheadPackets = 8 * kPacketsPerSecond;
// A gap this long from a line's last wipe to the next line's first word is
// an instrumental break: the screen clears to the title and a bar that runs
// out when the next line is sung.
constexpr std::int64_t kBreakPackets = 8 * kPacketsPerSecond;
// The bar: one tile row below the lowest line, tiles kBarFirst to kBarLast,
// half a tile high.
constexpr int kBarRow = 16;
constexpr int kBarFirst = 5;
constexpr int kBarLast = 44;
// How long the last sung lines stay before a break's screen clears them.
// Between lines there is no such wait: a place takes its next line as soon
// as its own line's last wipe is out. A lyric line too long for one place
// fills two, so the next lyric line is whole only once the one before the
// current line is sung, and any wait there is time the singer cannot read
// ahead. The drawing goes left to right, so the words sung last go last.
constexpr std::int64_t kHoldPackets = kPacketsPerSecond * 3 / 10;
// The first line is ready this long before its first word when the title
// screen leaves room (the lines after it are drawn while it is sung), and
// the title shows at least this long from when it starts to be drawn: the
// song's lead-in (title_lead_in.hpp) leaves room for both.
constexpr std::int64_t kFirstPageLead = kPacketsPerSecond;
constexpr std::int64_t kMinTitlePackets = 3 * kPacketsPerSecond;

std::int64_t packetAt(double seconds) {
    return static_cast<std::int64_t>(std::floor(seconds * kPacketsPerSecond));
}

// The colour each ink takes on screen.
std::uint8_t colourOf(Ink ink, std::uint8_t letter) {
    switch (ink) {
        case Ink::outline: return kOutline;
        case Ink::letter: return letter;
        case Ink::background: break;
    }
    return kBackground;
}

// The packets that turn one tile of the screen into a tile of image
// (column 1-48, row 0-2 of the line at tile row top): none when it already
// shows it; one for a tile of background and one other colour; two when it
// holds both outline and letters (outline everywhere there is ink, then the
// letters XORed from outline to their colour).
template <typename Emit>
void drawTile(const LineImage& image, int top, int column, int row, std::uint8_t letter,
              const Screen* screen, Emit emit) {
    TilePixels outline{};
    TilePixels letters{};
    bool same = true;
    for (int y = 0; y < kTileHeight; ++y) {
        for (int x = 0; x < kTileWidth; ++x) {
            const Ink ink = image.inkAt((column - 1) * kTileWidth + x, row * kTileHeight + y);
            const auto bit = static_cast<std::uint8_t>(0x20 >> x);
            if (ink == Ink::outline) outline[static_cast<std::size_t>(y)] |= bit;
            if (ink == Ink::letter) letters[static_cast<std::size_t>(y)] |= bit;
            const std::uint8_t current =
                screen != nullptr ? screen->at(column * kTileWidth + x, (top + row) * kTileHeight + y)
                                  : kBackground;
            same = same && current == colourOf(ink, letter);
        }
    }
    if (same) return;
    const bool anyOutline = std::any_of(outline.begin(), outline.end(), [](auto b) { return b != 0; });
    const bool anyLetter = std::any_of(letters.begin(), letters.end(), [](auto b) { return b != 0; });
    const int tileRow = top + row;
    if (anyOutline && anyLetter) {
        TilePixels both{};
        for (std::size_t y = 0; y < both.size(); ++y) both[y] = outline[y] | letters[y];
        emit(tileBlock(TileMode::replace, kBackground, kOutline, tileRow, column, both));
        emit(tileBlock(TileMode::xorColours, 0, kOutline ^ letter, tileRow, column, letters));
    } else if (anyLetter) {
        emit(tileBlock(TileMode::replace, kBackground, letter, tileRow, column, letters));
    } else {
        emit(tileBlock(TileMode::replace, kBackground, kOutline, tileRow, column, outline));
    }
}

template <typename Emit>
void drawLine(const LineImage& image, int top, std::uint8_t letter, const Screen* screen, Emit emit) {
    for (int column = 1; column <= kLineWidth / kTileWidth; ++column) {
        for (int row = 0; row < kLineTileRows; ++row) drawTile(image, top, column, row, letter, screen, emit);
    }
}

std::int64_t packetsToDraw(const LineImage& image) {
    std::int64_t count = 0;
    drawLine(image, 0, kUnsung, nullptr, [&count](const Packet&) { ++count; });
    return count;
}

// A packet due at a time: a word's wipe, or a step of a break's bar.
struct Wipe {
    std::int64_t target;
    std::uint64_t order;
    std::size_t line;  // whose wipe it is; past the lines for the bar
    Packet packet;
    bool operator>(const Wipe& other) const noexcept {
        return target != other.target ? target > other.target : order > other.order;
    }
};

// The song's words, in one list, with times that never decrease.
struct Words {
    std::vector<std::string_view> texts;
    std::vector<double> starts;
    std::vector<double> wipeEnds;
    std::vector<std::pair<std::size_t, std::size_t>> lines;  // [first, last) per stored line
};

Words collectWords(const CdgInput& input, double musicSeconds) {
    Words words;
    double previous = 0;
    std::vector<double> ends;
    for (const CdgLine& line : input.lines) {
        const std::size_t first = words.texts.size();
        for (const CdgWord& word : line.words) {
            if (word.text.empty()) continue;
            double start = std::isfinite(word.start) ? std::max(word.start, previous) : previous;
            start = std::min(start, musicSeconds);
            previous = start;
            words.texts.push_back(word.text);
            words.starts.push_back(start);
            ends.push_back(std::isfinite(word.end) && word.end > start ? word.end : -1);
        }
        if (words.texts.size() > first) words.lines.emplace_back(first, words.texts.size());
    }
    words.wipeEnds.resize(words.starts.size());
    for (std::size_t i = 0; i < words.starts.size(); ++i) {
        const double start = words.starts[i];
        double end = i + 1 < words.starts.size() ? words.starts[i + 1] : start + kMaxWipeSeconds;
        if (ends[i] > 0) end = ends[i];
        words.wipeEnds[i] = std::min({end, start + kMaxWipeSeconds, musicSeconds});
    }
    return words;
}

std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t space = text.find(' ', pos);
        const std::size_t end = space == std::string_view::npos ? text.size() : space;
        if (end > pos) parts.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

// The title's and the artist's screen lines, a long one wrapped as lyrics
// are, each with its colour; at most a screenful, the title's first.
std::vector<std::pair<LineImage, std::uint8_t>> titleImages(const CdgInput& input,
                                                            TextRasteriser& font) {
    std::vector<std::pair<LineImage, std::uint8_t>> images;
    const std::pair<const std::string*, std::uint8_t> parts[] = {{&input.title, kTitle},
                                                                 {&input.artist, kUnsung}};
    for (const auto& [text, colour] : parts) {
        const std::vector<std::string_view> words = splitWords(*text);
        for (const ScreenLine& line : layoutWords(words, 0, words.size(), font)) {
            if (images.size() == kSlots) return images;
            LineImage image = drawScreenLine(line, words, font);
            if (!image.blank) images.emplace_back(std::move(image), colour);
        }
    }
    return images;
}

class Scheduler {
public:
    Scheduler(const CdgInput& input, TextRasteriser& font, std::size_t packetCount)
        : font_(font), total_(static_cast<std::int64_t>(packetCount)),
          titleInput_{input.title, input.artist, {}, 0} {
        const double seconds = static_cast<double>(packetCount) / kPacketsPerSecond;
        words_ = collectWords(input, seconds);
        for (const auto& [first, last] : words_.lines) {
            // Word times never go back, so no later line is sung before the music ends either.
            if (packetAt(words_.starts[first]) >= total_) break;
            for (ScreenLine& line : layoutWords(words_.texts, first, last, font)) {
                if (line.words.empty() || packetAt(words_.starts[line.words.front().word]) >= total_) continue;
                lines_.push_back({std::move(line)});
            }
        }
        planStart(input);
    }

    void run(std::vector<std::uint8_t>& out) {
        out.reserve(static_cast<std::size_t>(total_) * kPacketSize);
        for (now_ = 0; now_ < total_; ++now_) {
            const Packet packet = next();
            screen_.apply(packet);
            out.insert(out.end(), packet.begin(), packet.end());
        }
    }

    CdgTiming timing() const {
        CdgTiming timing;
        timing.screenLines = lines_.size();
        std::int64_t lead = 0;
        for (const Line& line : lines_) {
            if (line.skipped) ++timing.linesLeftOut;
            if (!line.drawn || line.skipped) continue;
            const std::int64_t ahead = firstWordPacket(line) - line.drawnAt;
            lead = timing.linesDrawn++ == 0 ? ahead : std::min(lead, ahead);
        }
        timing.earliestLead = static_cast<double>(lead) / kPacketsPerSecond;
        timing.latestWipe = static_cast<double>(latestWipe_) / kPacketsPerSecond;
        return timing;
    }

private:
    struct Line {
        ScreenLine layout;
        bool drawn = false;
        bool skipped = false;
        std::int64_t drawnAt = 0;  // the packet after its last drawing packet
        std::size_t wipesLeft = 0;
        std::int64_t lastWipe = 0;  // the later of the last wipe's time and when it went out
    };

    // Where the title screen goes and when the first lines start.
    void planStart(const CdgInput& input) {
        const std::array<Rgb12, 8> low = {kColours[0], kColours[1], kColours[2], kColours[3],
                                          kColours[4], kColours[5], kColours[6], kColours[7]};
        const std::array<Rgb12, 8> high = {kColours[8],  kColours[9],  kColours[10], kColours[11],
                                           kColours[12], kColours[13], kColours[14], kColours[15]};
        queue_.push_back(loadColourTable(ColourHalf::low, low));
        queue_.push_back(loadColourTable(ColourHalf::high, high));
        for (std::uint8_t repeat = 0; repeat < kPresetRepeats; ++repeat) {
            queue_.push_back(memoryPreset(kBackground, repeat));
        }
        queue_.push_back(borderPreset(kBackground));
        const auto setup = static_cast<std::int64_t>(queue_.size());
        if (lines_.empty()) {
            showTitle(input, setup);
            return;
        }
        const std::int64_t firstLine =
            packetsToDraw(drawScreenLine(lines_.front().layout, words_.texts, font_));
        const std::int64_t firstWord = packetAt(words_.starts[lines_.front().layout.words.front().word]);
        const std::int64_t start = firstWord - kFirstPageLead - firstLine;
        const std::int64_t titleEnd = showTitle(input, setup);
        if (titleEnd > setup &&
            std::max(titleEnd, setup + kMinTitlePackets) + kPresetRepeats <= start) {
            pageStart_ = start;
            clearFirst_ = true;
        } else {
            title_.clear();
            pageStart_ = 0;
        }
    }

    // Queues the title screen, its lines in the middle places; returns when
    // it would be drawn.
    std::int64_t showTitle(const CdgInput& input, std::int64_t setup) {
        const auto images = titleImages(input, font_);
        std::int64_t end = setup;
        const std::size_t first = (kSlots - images.size()) / 2;
        for (std::size_t i = 0; i < images.size(); ++i) {
            drawLine(images[i].first, kSlotRows[first + i], images[i].second, nullptr,
                     [this, &end](const Packet& packet) {
                         title_.push_back(packet);
                         ++end;
                     });
        }
        return end;
    }

    Packet next() {
        if (!queue_.empty()) return pop(queue_);
        if (!title_.empty()) return pop(title_);
        if (!wipes_.empty() && wipes_.top().target <= now_) {
            const Wipe wipe = wipes_.top();
            wipes_.pop();
            if (wipe.line < lines_.size()) {
                Line& line = lines_[wipe.line];
                --line.wipesLeft;
                line.lastWipe = std::max(line.lastWipe, std::max(wipe.target, now_));
                latestWipe_ = std::max(latestWipe_, now_ - wipe.target);
            }
            return wipe.packet;
        }
        if (drawing_.empty() && !startDrawing()) return emptyPacket();
        const Packet packet = pop(drawing_);
        if (drawing_.empty() && drawingLine_ < lines_.size()) finishDrawing();
        return packet;
    }

    static Packet pop(std::deque<Packet>& queue) {
        const Packet packet = queue.front();
        queue.pop_front();
        return packet;
    }

    // Starts drawing the next line when its place is free; false when there
    // is nothing to draw yet.
    bool startDrawing() {
        if (now_ < pageStart_) return false;
        if (clearFirst_) {
            clearFirst_ = false;
            for (std::uint8_t repeat = 0; repeat < kPresetRepeats; ++repeat) {
                drawing_.push_back(memoryPreset(kBackground, repeat));
            }
            return true;
        }
        while (nextLine_ < lines_.size()) {
            if (nextLine_ > 0 && startBreak()) return true;
            if (nextLine_ >= kSlots) {
                const Line& previous = lines_[nextLine_ - kSlots];
                if (!previous.drawn || previous.wipesLeft > 0) {
                    return false;
                }
            }
            if (now_ < firstWordPacket(lines_[nextLine_]) - kReadAheadPackets) return false;
            drawingLine_ = nextLine_++;
            Line& line = lines_[drawingLine_];
            if (now_ > packetAt(words_.starts[line.layout.words.back().word])) {
                // Sung already: the lyrics come faster than the screen can be
                // drawn. Leaving the line out lets the next ones keep time.
                line.skipped = true;
                line.drawn = true;
                line.lastWipe = now_ - kHoldPackets;
                continue;
            }
            image_ = drawScreenLine(lines_[drawingLine_].layout, words_.texts, font_);
            drawLine(image_, slotRow(drawingLine_), kUnsung, &screen_,
                     [this](const Packet& packet) { drawing_.push_back(packet); });
            if (!drawing_.empty()) return true;
            finishDrawing();
        }
        return false;
    }

    // When the line after the last one sung comes after a break, and every
    // line before it has been sung: clears the screen, draws the title at the
    // top and a bar whose tiles go one by one until the line's first word.
    bool startBreak() {
        const Line& before = lines_[nextLine_ - 1];
        if (nextLine_ <= breakShownFor_ || !before.drawn) return false;
        const std::int64_t until = firstWordPacket(lines_[nextLine_]);
        if (until - packetAt(words_.wipeEnds[before.layout.words.back().word]) < kBreakPackets) {
            return false;
        }
        for (std::size_t i = 0; i < nextLine_; ++i) {
            if (lines_[i].wipesLeft > 0 || now_ < lines_[i].lastWipe + kHoldPackets) return false;
        }
        breakShownFor_ = nextLine_;
        drawingLine_ = static_cast<std::size_t>(-1);
        for (std::uint8_t repeat = 0; repeat < kPresetRepeats; ++repeat) {
            drawing_.push_back(memoryPreset(kBackground, repeat));
        }
        const auto titles = titleImages(titleInput_, font_);
        if (!titles.empty()) {
            drawLine(titles.front().first, kSlotRows[0], kTitle, nullptr,
                     [this](const Packet& packet) { drawing_.push_back(packet); });
        }
        TilePixels bar{};
        for (std::size_t y = 3; y < 9; ++y) bar[y] = kLowSixBits;
        const std::int64_t from = now_ + static_cast<std::int64_t>(drawing_.size()) +
                                  (kBarLast - kBarFirst + 1);
        for (int column = kBarFirst; column <= kBarLast; ++column) {
            drawing_.push_back(tileBlock(TileMode::replace, kBackground, kSung, kBarRow, column, bar));
            // The rightmost tile goes first; the last one at the first word.
            const std::int64_t step = kBarLast - column + 1;
            const std::int64_t at = from + (until - from) * step / (kBarLast - kBarFirst + 1);
            wipes_.push({at, order_++, lines_.size(),
                         tileBlock(TileMode::replace, kBackground, kBackground, kBarRow, column, {})});
        }
        return true;
    }

    static int slotRow(std::size_t line) { return kSlotRows[line % kSlots]; }

    std::int64_t firstWordPacket(const Line& line) const {
        return packetAt(words_.starts[line.layout.words.front().word]);
    }

    // Queues the wipes of the line just drawn: for each word, its letters
    // tile by tile, the columns spread over the word's time.
    void finishDrawing() {
        Line& line = lines_[drawingLine_];
        line.drawn = true;
        line.drawnAt = now_ + 1;
        line.lastWipe = now_;
        const int top = slotRow(drawingLine_);
        for (std::size_t n = 0; n < line.layout.words.size(); ++n) {
            const std::size_t word = line.layout.words[n].word;
            const auto owner = static_cast<std::uint16_t>(n + 1);
            std::vector<std::pair<int, std::array<TilePixels, kLineTileRows>>> columns;
            for (int column = 1; column <= kLineWidth / kTileWidth; ++column) {
                std::array<TilePixels, kLineTileRows> rows{};
                bool any = false;
                for (int y = 0; y < kLineHeight; ++y) {
                    for (int x = 0; x < kTileWidth; ++x) {
                        if (image_.ownerAt((column - 1) * kTileWidth + x, y) != owner) continue;
                        rows[static_cast<std::size_t>(y / kTileHeight)][static_cast<std::size_t>(y % kTileHeight)] |=
                            static_cast<std::uint8_t>(0x20 >> x);
                        any = true;
                    }
                }
                if (any) columns.emplace_back(column, rows);
            }
            const double start = words_.starts[word];
            const double span = words_.wipeEnds[word] - start;
            for (std::size_t k = 0; k < columns.size(); ++k) {
                const double at = start + span * static_cast<double>(k) / static_cast<double>(columns.size());
                for (int row = 0; row < kLineTileRows; ++row) {
                    const TilePixels& bits = columns[k].second[static_cast<std::size_t>(row)];
                    if (std::all_of(bits.begin(), bits.end(), [](auto b) { return b == 0; })) continue;
                    wipes_.push({packetAt(at), order_++, drawingLine_,
                                 tileBlock(TileMode::xorColours, 0, kUnsung ^ kSung, top + row,
                                           columns[k].first, bits)});
                    ++line.wipesLeft;
                }
            }
        }
    }

    TextRasteriser& font_;
    std::int64_t total_;
    CdgInput titleInput_;  // the title and artist, for the break screens
    std::int64_t now_ = 0;
    Words words_;
    std::vector<Line> lines_;
    Screen screen_;
    std::deque<Packet> queue_;    // the colour table and a clear screen
    std::deque<Packet> title_;
    std::deque<Packet> drawing_;  // the rest of the line being drawn
    std::int64_t pageStart_ = 0;
    bool clearFirst_ = false;
    std::size_t nextLine_ = 0;
    std::size_t breakShownFor_ = 0;  // the line after the last break shown
    std::size_t drawingLine_ = static_cast<std::size_t>(-1);
    LineImage image_;
    std::priority_queue<Wipe, std::vector<Wipe>, std::greater<>> wipes_;
    std::uint64_t order_ = 0;
    std::int64_t latestWipe_ = 0;
};

}  // namespace

std::size_t cdgPacketCount(double musicSeconds) noexcept {
    if (!(musicSeconds > 0)) return 0;
    const double seconds = std::min(musicSeconds, kMaxMusicSeconds);
    // A hair under a whole packet is one: 10 s of music is 3,000 packets,
    // not 3,001 because of how 10.0 * 300 rounds.
    return static_cast<std::size_t>(std::ceil(seconds * kPacketsPerSecond - 1e-6));
}

std::vector<std::uint8_t> writeCdg(const CdgInput& input, TextRasteriser& font, CdgTiming* timing) {
    std::vector<std::uint8_t> out;
    Scheduler scheduler(input, font, cdgPacketCount(input.musicSeconds));
    scheduler.run(out);
    if (timing != nullptr) *timing = scheduler.timing();
    return out;
}

}  // namespace kdb2mid::cdg
