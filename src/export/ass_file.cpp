#include "export/ass_file.hpp"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <span>
#include <vector>

#include "export/text_width.hpp"
#include "export/title_lead_in.hpp"

namespace kdb2mid {

namespace {

constexpr std::string_view kWordJoiner = "\u2060";
constexpr std::string_view kEllipsis = "\u2026";
// Wider than the face's ellipsis, so a cut row never comes out wider than estimated.
constexpr std::int64_t kEllipsisUnits = kFontUnitsPerEm;

// The widest a row of text may be estimated, in pixels of the 1920-wide
// screen: inside the 5 % margins (96 pixels a side), less room for the
// outline and for the estimate's error (kerning, a fallback face).
constexpr std::int64_t kRowWidth = 1920 - 2 * 96 - 48;

// The sizes a kind of text takes: the largest when it fits, down to the
// smallest, on at most `rows` rows.
struct TextSizes {
    int largest;
    int smallest;
    std::size_t rows;
};
// 144 makes a capital 90 pixels tall: 8.3 % of the picture's height.
constexpr TextSizes kLyricSizes{144, 96, 2};
constexpr TextSizes kTitleSizes{120, 72, 2};
constexpr TextSizes kSecondTitleSizes{84, 60, 2};
constexpr TextSizes kBreakTitleSizes{64, 48, 1};

// The two lines sit 60 pixels apart about the middle of the picture (y =
// 540), further than a wrapped line's rows: the upper line's bottom at 510,
// the lower line's top at 570. Two rows of text each at the largest size
// reach from 222 to 858; the countdown's dots sit above (bottom at 200), the
// break's bar below (from 900), the break's small title at the top (from 60).
//
// Colours are &HAABBGGRR: sung gold, unsung white, black outline and shadow.
// The lyric rows have a wide outline and no shadow: a shadow is one more
// picture of every glyph to draw in every frame, and the outline alone keeps
// the letters clear over a picture.
constexpr std::string_view kHeader =
    "[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
    "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
    // Bottom-centre anchor: the text's bottom 570 pixels above the frame's.
    "Style: Upper,DejaVu Sans,144,&H0000D7FF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,6,0,2,96,96,570,1\n"
    // Top-centre anchor: the text's top 570 pixels below the frame's.
    "Style: Lower,DejaVu Sans,144,&H0000D7FF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,6,0,8,96,96,570,1\n"
    // The title screen: centred on the picture.
    "Style: Title,DejaVu Sans,120,&H00FFFFFF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,5,3,5,96,96,0,1\n"
    // The title during a break: small, top-centre.
    "Style: BreakTitle,DejaVu Sans,64,&H00FFFFFF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,8,96,96,60,1\n"
    // The bar that runs out over a break: a drawing placed by \\pos.
    "Style: Bar,DejaVu Sans,20,&H0000D7FF,&H0000D7FF,&H00000000,&H80000000,"
    "0,0,0,0,100,100,0,0,1,3,0,7,0,0,0,1\n"
    // The countdown dots: bottom-centre, 22 pixels above the highest row.
    "Style: Countdown,DejaVu Sans,72,&H0000D7FF,&H0000D7FF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,2,96,96,880,1\n"
    "\n"
    "[Events]\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

constexpr std::string_view kRowStyles[2] = {"Upper", "Lower"};

// The bar: 1200 x 24 pixels, centred, its top at 900.
constexpr std::string_view kBarShape = "m 0 0 l 1200 0 1200 24 0 24";
constexpr std::string_view kBarPlace = "\\pos(360,900)";

// H:MM:SS.CC
void appendTime(std::string& out, std::int64_t hundredths) {
    const auto two = [&out](std::int64_t value) {
        out += static_cast<char>('0' + value / 10);
        out += static_cast<char>('0' + value % 10);
    };
    out += std::to_string(hundredths / 360000);
    out += ':';
    two(hundredths / 6000 % 60);
    out += ':';
    two(hundredths / 100 % 60);
    out += '.';
    two(hundredths % 100);
}

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

// An override tag with its number: {\\k50}.
void appendTag(std::string& out, std::string_view tag, std::int64_t value) {
    out += tag;
    appendNumber(out, value);
    out += '}';
}

// How a run of words is set: at which size, where rows break, and how many
// of the words are drawn (the rest cut off, the last drawn one ending in an
// ellipsis and maybe shortened).
struct Layout {
    int size = 0;
    std::vector<std::size_t> rowStarts;  // words that begin a row, after the first row
    std::size_t shown = 0;
    bool cut = false;     // words or letters cut off: an ellipsis ends the text
    std::string cutWord;  // then the last shown word as drawn
};

// The text units that fit a row at size.
std::int64_t rowLimit(int size) { return kRowWidth * kFontLineUnits / size; }

// The longest start of word, whole characters, at most room wide.
std::string fittingStart(std::string_view word, std::int64_t room) {
    std::size_t end = 0;
    std::int64_t used = 0;
    while (end < word.size()) {
        std::size_t next = end + 1;
        while (next < word.size() && (static_cast<unsigned char>(word[next]) & 0xC0) == 0x80) ++next;
        used += textAdvance(word.substr(end, next - end));
        if (used > room) break;
        end = next;
    }
    return std::string(word.substr(0, end));
}

Layout layoutText(std::span<const std::string_view> words, const TextSizes& sizes) {
    const std::size_t n = words.size();
    Layout layout;
    layout.size = sizes.largest;
    layout.shown = n;
    if (n == 0) return layout;
    // starts[i]: the width of words [0, i) with a space after each.
    const std::int64_t space = textAdvance(" ");
    std::vector<std::int64_t> advances(n);
    std::vector<std::int64_t> starts(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        advances[i] = textAdvance(words[i]);
        starts[i + 1] = starts[i] + advances[i] + space;
    }
    const auto width = [&](std::size_t from, std::size_t to) { return starts[to] - starts[from] - space; };

    // One row, or two split where their widths are most even.
    std::int64_t widest = width(0, n);
    std::size_t split = 0;
    if (widest > rowLimit(sizes.largest) && sizes.rows >= 2 && n >= 2) {
        for (std::size_t k = 1; k < n; ++k) {
            const std::int64_t both = std::max(width(0, k), width(k, n));
            if (split == 0 || both < widest) {
                widest = both;
                split = k;
            }
        }
    }
    const std::int64_t fits = kRowWidth * kFontLineUnits / std::max<std::int64_t>(widest, 1);
    if (fits >= sizes.smallest) {
        layout.size = static_cast<int>(std::min<std::int64_t>(fits, sizes.largest));
        if (split != 0) layout.rowStarts.push_back(split);
        return layout;
    }

    // Too long for the smallest size: rows filled in turn until they run out,
    // the last word shown ending in an ellipsis (and losing the letters that
    // leave it no room).
    layout.size = sizes.smallest;
    const std::int64_t limit = rowLimit(sizes.smallest);
    std::size_t rowFirst = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        const bool wide = advances[i - 1] > limit;
        if (i < n && !wide && width(rowFirst, i + 1) <= limit) continue;
        if (i == n && !wide) return layout;  // everything fits after all
        if (i < n && !wide && layout.rowStarts.size() + 1 < sizes.rows) {
            layout.rowStarts.push_back(i);
            rowFirst = i;
            continue;
        }
        layout.shown = i;
        break;
    }
    const std::int64_t before = layout.shown - 1 > rowFirst ? width(rowFirst, layout.shown - 1) + space : 0;
    layout.cut = true;
    layout.cutWord = fittingStart(words[layout.shown - 1], limit - before - kEllipsisUnits);
    return layout;
}

struct LineTimes {
    std::size_t firstWord = 0;  // into the song's word times
    std::int64_t lastWordEnd = 0;
    std::int64_t start = 0;  // on screen
    std::int64_t end = 0;
};

struct SongTimes {
    std::vector<std::int64_t> words;  // when each word starts, never decreasing
    std::vector<LineTimes> lines;
    std::int64_t titleEnd = 0;  // when the title screen goes; 0 for none
};

bool hasTitle(const std::vector<std::string>& titles) {
    for (std::size_t i = 0; i < std::min<std::size_t>(titles.size(), 2); ++i) {
        if (titles[i].find_first_not_of(' ') != std::string::npos) return true;
    }
    return false;
}

// Word times first, then from them when each line shows.
SongTimes songTimes(const TimedLyrics& lyrics, const TempoMap& tempo, std::int64_t leadIn) {
    SongTimes times;
    times.lines.resize(lyrics.lines.size());
    std::int64_t last = 0;
    for (std::size_t i = 0; i < lyrics.lines.size(); ++i) {
        times.lines[i].firstWord = times.words.size();
        for (const TimedWord& word : lyrics.lines[i].words) {
            last = std::max(last, centiseconds(tempo.secondsAt(word.tick)) + leadIn);
            times.words.push_back(last);
        }
    }
    std::vector<LineTimes>& lines = times.lines;
    if (lines.empty()) return times;
    const auto firstOf = [&](std::size_t i) { return times.words[lines[i].firstWord]; };
    // The title screen keeps the picture until the first lines come up: for
    // kTitleScreenShortest when they can still come kFirstLineAhead early.
    std::int64_t opening = 0;
    if (hasTitle(lyrics.titles)) {
        opening = std::max(firstOf(0) - kAssReadAhead,
                           std::min(kTitleScreenShortest, firstOf(0) - kFirstLineAhead));
        opening = std::max<std::int64_t>(opening, 0);
        if (opening >= kAssTitleShortest) times.titleEnd = opening;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineTimes& line = lines[i];
        const std::size_t end = i + 1 < lines.size() ? lines[i + 1].firstWord : times.words.size();
        line.lastWordEnd = times.words[end - 1] + kAssLastWord;
        if (i + 1 < lines.size()) line.lastWordEnd = std::min(line.lastWordEnd, firstOf(i + 1));
        // The next line on this row may not appear later than its first word.
        line.end = line.lastWordEnd + kAssTail;
        if (i + 2 < lines.size()) line.end = std::min(line.end, firstOf(i + 2));
        line.start = std::max({firstOf(i) - kAssReadAhead, times.titleEnd, std::int64_t{0}});
        if (i >= 1) line.start = std::max(line.start, lines[i - 1].start);
        if (i >= 2) line.start = std::max(line.start, lines[i - 2].end);
    }
    return times;
}

void appendAssText(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (c == '\\') {
            out += c;
            out += kWordJoiner;
        } else {
            out += c;
        }
    }
}

}  // namespace

std::string escapeAssText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendAssText(out, text);
    return out;
}

namespace {

void appendDialogue(std::string& out, std::int64_t start, std::int64_t end,
                    std::string_view style, int layer = 0) {
    out += "Dialogue: ";
    appendNumber(out, layer);
    out += ',';
    appendTime(out, start);
    out += ',';
    appendTime(out, end);
    out += ',';
    out += style;
    out += ",,0,0,0,,";
}

// The words of a title, split at spaces.
std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t space = std::min(text.find(' ', pos), text.size());
        if (space > pos) words.push_back(text.substr(pos, space - pos));
        pos = space + 1;
    }
    return words;
}

// The words as laid out: each after before(i), rows broken with \N, a cut
// text ending in its ellipsis.
template <class BeforeWord>
void appendWords(std::string& out, std::span<const std::string_view> words, const Layout& layout,
                 BeforeWord before) {
    for (std::size_t i = 0; i < layout.shown; ++i) {
        if (i > 0) {
            const bool breaks = std::find(layout.rowStarts.begin(), layout.rowStarts.end(), i) !=
                                layout.rowStarts.end();
            out += breaks ? "\\N" : " ";
        }
        before(i);
        const bool last = i + 1 == layout.shown;
        appendAssText(out, last && layout.cut ? std::string_view(layout.cutWord) : words[i]);
    }
    if (layout.cut) out += kEllipsis;
}

// A title laid out at sizes, with {\fs} when it is not the style's own
// size (the style's size is sizes.largest) or when tagSize asks.
void appendSetText(std::string& out, std::string_view text, const TextSizes& sizes,
                   bool tagSize) {
    const std::vector<std::string_view> words = wordsOf(text);
    const Layout layout = layoutText(words, sizes);
    if (tagSize || layout.size != sizes.largest) appendTag(out, "{\\fs", layout.size);
    appendWords(out, words, layout, [](std::size_t) {});
}

// The title screen, when there is a title and time to show it.
void appendTitleScreen(std::string& out, const std::vector<std::string>& titles,
                       std::int64_t end) {
    if (end <= 0) return;
    const std::string_view title = titles.empty() ? std::string_view{} : titles[0];
    const std::string_view second = titles.size() > 1 ? titles[1] : std::string_view{};
    appendDialogue(out, 0, end, "Title");
    out += "{\\fad(0,200)}";
    const bool hasFirst = !wordsOf(title).empty();
    if (hasFirst) appendSetText(out, title, kTitleSizes, false);
    if (!wordsOf(second).empty()) {
        if (hasFirst) out += "\\N";
        appendSetText(out, second, kSecondTitleSizes, true);
    }
    out += '\n';
}

// The dots before a line's first word at sungAt: all of them
// kAssCountdownDots steps before, one fewer each step; none before 0.
void appendCountdown(std::string& out, std::int64_t sungAt) {
    for (int dots = kAssCountdownDots; dots > 0; --dots) {
        const std::int64_t start = std::max<std::int64_t>(sungAt - dots * kAssCountdownStep, 0);
        const std::int64_t end = sungAt - (dots - 1) * kAssCountdownStep;
        if (end <= start) continue;
        appendDialogue(out, start, end, "Countdown");
        for (int i = 0; i < dots; ++i) out += i == 0 ? "\u25CF" : " \u25CF";
        out += '\n';
    }
}

// A break from `from` until the next line is sung at `until`: the title
// small at the top, and a bar over a dim track that runs out at `until`.
void appendBreak(std::string& out, const std::vector<std::string>& titles, std::int64_t from,
                 std::int64_t until) {
    if (until <= from) return;
    if (!titles.empty() && !wordsOf(titles[0]).empty()) {
        appendDialogue(out, from, until, "BreakTitle");
        appendSetText(out, titles[0], kBreakTitleSizes, false);
        out += '\n';
    }
    appendDialogue(out, from, until, "Bar");
    out += "{";
    out += kBarPlace;
    out += "\\c&H404040&\\p1}";
    out += kBarShape;
    out += '\n';
    appendDialogue(out, from, until, "Bar", 1);
    out += "{";
    out += kBarPlace;
    out += "\\p1\\t(0,";
    appendNumber(out, (until - from) * 10);
    out += ",\\fscx0)}";
    out += kBarShape;
    out += '\n';
}

void appendLine(std::string& out, const TimedLine& line, const LineTimes& times,
                const std::int64_t* wordTimes, std::string_view style) {
    const std::vector<TimedWord>& words = line.words;
    std::vector<std::string_view> texts;
    texts.reserve(words.size());
    for (const TimedWord& word : words) texts.push_back(word.text);
    const Layout layout = layoutText(texts, kLyricSizes);
    appendDialogue(out, times.start, times.end, style);
    if (layout.size != kLyricSizes.largest) appendTag(out, "{\\fs", layout.size);
    // The karaoke clock starts at the line's start: wait until the first word.
    if (wordTimes[0] > times.start) appendTag(out, "{\\k", wordTimes[0] - times.start);
    appendWords(out, texts, layout, [&](std::size_t j) {
        // The last word drawn fills until the line's end: the time of words cut off after it too.
        const std::int64_t next = j + 1 < layout.shown ? wordTimes[j + 1] : times.lastWordEnd;
        appendTag(out, "{\\kf", std::max<std::int64_t>(next - wordTimes[j], 0));
    });
    out += '\n';
}

}  // namespace

std::string writeAss(const AssInput& input) {
    const TimedLyrics& lyrics = input.lyrics;
    std::string out = "[Script Info]\n; Karaoke subtitles written by kdb2mid ";
    out += input.version;
    out += '\n';
    if (!lyrics.titles.empty() && !lyrics.titles[0].empty()) {
        out += "Title: " + lyrics.titles[0] + "\n";
    }
    out += "ScriptType: v4.00+\n"
           "WrapStyle: 0\n"
           "ScaledBorderAndShadow: yes\n"
           "PlayResX: 1920\n"
           "PlayResY: 1080\n"
           "\n";
    out += kHeader;

    const SongTimes times = songTimes(lyrics, input.tempo, std::max<std::int64_t>(input.leadIn, 0));
    appendTitleScreen(out, lyrics.titles, times.titleEnd);
    for (std::size_t i = 0; i < times.lines.size(); ++i) {
        const LineTimes& line = times.lines[i];
        const std::int64_t* wordTimes = times.words.data() + line.firstWord;
        if (i == 0) {
            appendCountdown(out, wordTimes[0]);
        } else if (wordTimes[0] - times.lines[i - 1].lastWordEnd >= kAssBreak) {
            appendBreak(out, lyrics.titles, times.lines[i - 1].end, wordTimes[0]);
            appendCountdown(out, wordTimes[0]);
        }
        appendLine(out, lyrics.lines[i], line, wordTimes, kRowStyles[i % 2]);
    }
    return out;
}

}  // namespace kdb2mid
