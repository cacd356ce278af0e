#include "cdg/line_layout.hpp"

#include <algorithm>
#include <optional>

namespace kdb2mid::cdg {

namespace {

constexpr std::string_view kEllipsis = "\u2026";

// No more letters than this fit a line at any size.
constexpr std::size_t kMostLettersOnALine = 64;

// The longest start of text that fits kTextWidth at size with an ellipsis
// after it, and the ellipsis.
std::string shortened(std::string_view text, int size, TextRasteriser& font) {
    std::size_t end = 0;
    for (std::size_t letters = 0; end < text.size() && letters < kMostLettersOnALine; ++letters) {
        do {
            ++end;
        } while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
    }
    std::string kept(text.substr(0, end));
    std::string candidate = kept + std::string(kEllipsis);
    while (!kept.empty() && font.render(candidate, size).advance > kTextWidth) {
        // Back one UTF-8 character: continuation bytes, then the lead byte.
        while (!kept.empty() && (static_cast<unsigned char>(kept.back()) & 0xC0) == 0x80) kept.pop_back();
        if (!kept.empty()) kept.pop_back();
        candidate = kept + std::string(kEllipsis);
    }
    return candidate;
}

void centre(ScreenLine& line, int width) {
    const int offset = std::max(0, (kLineWidth - width) / 2);
    for (PlacedWord& word : line.words) word.x += offset;
}

// The words on one screen line at the largest size at which they fit
// kTextWidth; with wrap off, at the smallest size if none fits. Nothing when
// they must be wrapped.
std::optional<ScreenLine> onOneLine(std::span<const std::string_view> texts, std::size_t first,
                                    std::size_t last, TextRasteriser& font, bool wrap) {
    std::vector<int> advances(last - first);
    for (const int size : kFontSizes) {
        const int gap = std::max(0, font.spaceAdvance(size));
        int width = 0;
        for (std::size_t i = first; i < last && width <= kTextWidth; ++i) {
            advances[i - first] = std::max(0, font.render(texts[i], size).advance);
            width += (i == first ? 0 : gap) + advances[i - first];
        }
        if (last - first > kMaxLineWords) width = kTextWidth + 1;
        const bool smallest = size == kFontSizes[std::size(kFontSizes) - 1];
        if (width <= kTextWidth || (!wrap && smallest)) {
            ScreenLine line{size, {}};
            int x = 0;
            for (std::size_t i = first; i < last && x < kLineWidth; ++i) {
                line.words.push_back({i, x});
                x += advances[i - first] + gap;
            }
            centre(line, std::min(width, kTextWidth));
            return line;
        }
    }
    return std::nullopt;
}

// Words texts[first, last) at kWrapSize broken into screen lines no wider
// than a limit; each word's advance (at most kTextWidth) is in widths.
class WrappedWords {
public:
    WrappedWords(std::span<const std::string_view> texts, std::size_t first, std::size_t last,
                 TextRasteriser& font)
        : texts_(texts), first_(first), last_(last), font_(font),
          space_(std::max(0, font.spaceAdvance(kWrapSize))), widths_(last - first) {
        for (std::size_t i = first; i < last; ++i) {
            widths_[i - first] = std::clamp(font.render(texts[i], kWrapSize).advance, 0, kTextWidth);
        }
    }

    int widestWord() const { return *std::max_element(widths_.begin(), widths_.end()); }

    // How many screen lines the words take at limit; with out, the lines too.
    std::size_t fill(int limit, std::vector<ScreenLine>* out) const {
        std::size_t count = 1;
        ScreenLine line{kWrapSize, {}};
        int x = 0;
        for (std::size_t i = first_; i < last_; ++i) {
            const int advance = widths_[i - first_];
            if (!line.words.empty() &&
                (x + space_ + advance > limit || line.words.size() == kMaxLineWords)) {
                ++count;
                if (out != nullptr) {
                    centre(line, x);
                    out->push_back(std::move(line));
                }
                line = ScreenLine{kWrapSize, {}};
                x = 0;
            }
            const int at = line.words.empty() ? 0 : x + space_;
            line.words.push_back({i, at});
            x = at + advance;
            if (out != nullptr && advance == kTextWidth &&
                font_.render(texts_[i], kWrapSize).advance > kTextWidth) {
                line.words.back().shortened = shortened(texts_[i], kWrapSize, font_);
            }
        }
        if (out != nullptr) {
            centre(line, x);
            out->push_back(std::move(line));
        }
        return count;
    }

private:
    std::span<const std::string_view> texts_;
    std::size_t first_;
    std::size_t last_;
    TextRasteriser& font_;
    int space_;
    std::vector<int> widths_;
};

// Wrapped: as few screen lines as fit, then as even as they can be (the
// narrowest width that still needs no more lines), so a line does not end
// in one lonely word.
std::vector<ScreenLine> wrappedEvenly(const WrappedWords& words) {
    const std::size_t fewest = words.fill(kTextWidth, nullptr);
    int low = words.widestWord();
    int high = kTextWidth;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (words.fill(middle, nullptr) <= fewest) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    std::vector<ScreenLine> lines;
    words.fill(high, &lines);
    return lines;
}

}  // namespace

std::vector<ScreenLine> layoutWords(std::span<const std::string_view> texts, std::size_t first,
                                    std::size_t last, TextRasteriser& font, bool wrap) {
    last = std::min(last, texts.size());
    if (first >= last) return {};
    if (auto line = onOneLine(texts, first, last, font, wrap)) {
        std::vector<ScreenLine> lines;
        lines.push_back(std::move(*line));
        return lines;
    }
    return wrappedEvenly(WrappedWords(texts, first, last, font));
}

LineImage drawScreenLine(const ScreenLine& line, std::span<const std::string_view> texts,
                         TextRasteriser& font) {
    LineImage image;
    for (std::size_t n = 0; n < line.words.size(); ++n) {
        const PlacedWord& placed = line.words[n];
        if (placed.word >= texts.size()) continue;
        const InkBitmap word = font.render(
            placed.shortened.empty() ? texts[placed.word] : std::string_view(placed.shortened),
            line.pixelSize);
        const int x0 = placed.x + word.left;
        const int y0 = kBaseline - word.top;
        for (int y = std::max(0, -y0); y < word.height && y0 + y < kLineHeight; ++y) {
            for (int x = std::max(0, -x0); x < word.width && x0 + x < kLineWidth; ++x) {
                if (!word.at(x, y)) continue;
                const auto at = static_cast<std::size_t>((y0 + y) * kLineWidth + x0 + x);
                image.ink[at] = Ink::letter;
                image.owner[at] = static_cast<std::uint16_t>(n + 1);
                image.blank = false;
            }
        }
    }
    // The outline: every pixel next to a letter (the eight around it) that is
    // not one itself. Marked from the letters outwards, so a line costs what
    // its letters do rather than nine looks at every pixel.
    if (image.blank) return image;
    for (int y = 0; y < kLineHeight; ++y) {
        for (int x = 0; x < kLineWidth; ++x) {
            if (image.inkAt(x, y) != Ink::letter) continue;
            for (int ny = std::max(0, y - 1); ny <= std::min(kLineHeight - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(kLineWidth - 1, x + 1); ++nx) {
                    Ink& ink = image.ink[static_cast<std::size_t>(ny * kLineWidth + nx)];
                    if (ink == Ink::background) ink = Ink::outline;
                }
            }
        }
    }
    return image;
}

}  // namespace kdb2mid::cdg
