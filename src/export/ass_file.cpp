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
    for (std::size_t i = 0; i < times.lines.size(); ++i) {
        const LineTimes& line = times.lines[i];
        const std::vector<TimedWord>& words = lyrics.lines[i].words;
        const std::int64_t* wordTimes = times.words.data() + line.firstWord;
        out += "Dialogue: 0,";
        appendTime(out, line.start);
        out += ',';
        appendTime(out, line.end);
        out += ',';
        out += kRowStyles[i % 2];
        out += ",,0,0,0,,";
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
