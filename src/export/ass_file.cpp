#include "export/ass_file.hpp"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <vector>

namespace kdb2mid {

namespace {

constexpr std::string_view kWordJoiner = "\u2060";

// Both rows use one look; they differ in anchor and distance from the edge.
// Colours are &HAABBGGRR: sung gold, unsung white, black outline and shadow.
constexpr std::string_view kHeader =
    "[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
    "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
    // Bottom-centre anchor: the text's bottom sits 200 pixels above the frame's.
    "Style: Upper,DejaVu Sans,72,&H0000D7FF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,2,60,60,200,1\n"
    // Top-centre anchor: the text's top sits 900 pixels below the frame's.
    "Style: Lower,DejaVu Sans,72,&H0000D7FF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,8,60,60,900,1\n"
    // The title card: centred on the frame, above where the rows are.
    "Style: Title,DejaVu Sans,96,&H00FFFFFF,&H00FFFFFF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,5,60,60,0,1\n"
    // The countdown dots: bottom-centre, 120 pixels above the upper row's line.
    "Style: Countdown,DejaVu Sans,72,&H0000D7FF,&H0000D7FF,&H00000000,&H80000000,"
    "-1,0,0,0,100,100,0,0,1,4,2,2,60,60,320,1\n"
    "\n"
    "[Events]\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

constexpr std::string_view kRowStyles[2] = {"Upper", "Lower"};

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

// An override tag with its number: {\\k50}.
void appendTag(std::string& out, std::string_view tag, std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out += tag;
    out.append(digits, end);
    out += '}';
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
};

// Word times first, then from them when each line shows.
SongTimes songTimes(const TimedLyrics& lyrics, const TempoMap& tempo) {
    SongTimes times;
    times.lines.resize(lyrics.lines.size());
    std::int64_t last = 0;
    for (std::size_t i = 0; i < lyrics.lines.size(); ++i) {
        times.lines[i].firstWord = times.words.size();
        for (const TimedWord& word : lyrics.lines[i].words) {
            last = std::max(last, centiseconds(tempo.secondsAt(word.tick)));
            times.words.push_back(last);
        }
    }
    const std::vector<LineTimes>& lines = times.lines;
    const auto firstOf = [&](std::size_t i) { return times.words[lines[i].firstWord]; };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineTimes& line = times.lines[i];
        const std::size_t end = i + 1 < lines.size() ? lines[i + 1].firstWord : times.words.size();
        line.lastWordEnd = times.words[end - 1] + kAssLastWord;
        if (i + 1 < lines.size()) line.lastWordEnd = std::min(line.lastWordEnd, firstOf(i + 1));
        // The next line on this row may not appear later than its first word.
        line.end = line.lastWordEnd + kAssTail;
        if (i + 2 < lines.size()) line.end = std::min(line.end, firstOf(i + 2));
        line.start = std::max<std::int64_t>(firstOf(i) - kAssLeadIn, 0);
        if (i >= 2) line.start = std::max(line.start, lines[i - 2].end);
    }
    return times;
}

}  // namespace

namespace {

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
                    std::string_view style) {
    out += "Dialogue: 0,";
    appendTime(out, start);
    out += ',';
    appendTime(out, end);
    out += ',';
    out += style;
    out += ",,0,0,0,,";
}

// The title card, when there is a title or an artist and time to show them.
void appendTitleCard(std::string& out, const std::vector<std::string>& titles,
                     std::int64_t firstLineShown) {
    const std::string_view title = titles.empty() ? std::string_view{} : titles[0];
    const std::string_view artist = titles.size() > 1 ? titles[1] : std::string_view{};
    const std::int64_t end = firstLineShown - kAssTitleGap;
    if ((title.empty() && artist.empty()) || end < kAssTitleShortest) return;
    appendDialogue(out, 0, end, "Title");
    out += "{\\fad(0,300)}";
    appendAssText(out, title);
    if (!title.empty() && !artist.empty()) out += "\\N";
    if (!artist.empty()) {
        out += "{\\fs64}";
        appendAssText(out, artist);
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

    const SongTimes times = songTimes(lyrics, input.tempo);
    if (!times.lines.empty()) appendTitleCard(out, lyrics.titles, times.lines[0].start);
    for (std::size_t i = 0; i < times.lines.size(); ++i) {
        const LineTimes& line = times.lines[i];
        const std::vector<TimedWord>& words = lyrics.lines[i].words;
        const std::int64_t* wordTimes = times.words.data() + line.firstWord;
        if (i == 0 || wordTimes[0] - times.lines[i - 1].lastWordEnd >= kAssBreak) {
            appendCountdown(out, wordTimes[0]);
        }
        appendDialogue(out, line.start, line.end, kRowStyles[i % 2]);
        // The karaoke clock starts at the line's start: wait until the first word.
        if (wordTimes[0] > line.start) appendTag(out, "{\\k", wordTimes[0] - line.start);
        for (std::size_t j = 0; j < words.size(); ++j) {
            const std::int64_t next = j + 1 < words.size() ? wordTimes[j + 1] : line.lastWordEnd;
            appendTag(out, "{\\kf", next - wordTimes[j]);
            appendAssText(out, words[j].text);
            if (j + 1 < words.size()) out += ' ';
        }
        out += '\n';
    }
    return out;
}

}  // namespace kdb2mid
