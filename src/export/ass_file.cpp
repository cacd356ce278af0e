#include "export/ass_file.hpp"

#include <algorithm>
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

struct LineTimes {
    std::vector<std::int64_t> words;  // when each word starts, never decreasing
    std::int64_t lastWordEnd = 0;
    std::int64_t start = 0;  // on screen
    std::int64_t end = 0;
};

// Word times first, then from them when each line shows.
std::vector<LineTimes> lineTimes(const TimedLyrics& lyrics, const TempoMap& tempo) {
    std::vector<LineTimes> lines(lyrics.lines.size());
    std::int64_t last = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (const TimedWord& word : lyrics.lines[i].words) {
            last = std::max(last, centiseconds(tempo.secondsAt(word.tick)));
            lines[i].words.push_back(last);
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineTimes& line = lines[i];
        const std::int64_t first = line.words.front();
        line.lastWordEnd = line.words.back() + kAssLastWord;
        if (i + 1 < lines.size()) {
            line.lastWordEnd = std::min(line.lastWordEnd, lines[i + 1].words.front());
        }
        // The next line on this row may not appear later than its first word.
        line.end = line.lastWordEnd + kAssTail;
        if (i + 2 < lines.size()) line.end = std::min(line.end, lines[i + 2].words.front());
        line.start = std::max<std::int64_t>(first - kAssLeadIn, 0);
        if (i >= 2) line.start = std::max(line.start, lines[i - 2].end);
    }
    return lines;
}

}  // namespace

std::string escapeAssText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
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

    const std::vector<LineTimes> times = lineTimes(lyrics, input.tempo);
    for (std::size_t i = 0; i < times.size(); ++i) {
        const LineTimes& line = times[i];
        const std::vector<TimedWord>& words = lyrics.lines[i].words;
        out += "Dialogue: 0,";
        appendTime(out, line.start);
        out += ',';
        appendTime(out, line.end);
        out += ',';
        out += kRowStyles[i % 2];
        out += ",,0,0,0,,";
        // The karaoke clock starts at the line's start: wait until the first word.
        if (line.words.front() > line.start) {
            out += "{\\k" + std::to_string(line.words.front() - line.start) + "}";
        }
        for (std::size_t j = 0; j < words.size(); ++j) {
            const std::int64_t next = j + 1 < words.size() ? line.words[j + 1] : line.lastWordEnd;
            out += "{\\kf" + std::to_string(next - line.words[j]) + "}";
            out += escapeAssText(words[j].text);
            if (j + 1 < words.size()) out += ' ';
        }
        out += '\n';
    }
    return out;
}

}  // namespace kdb2mid
