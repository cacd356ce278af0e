#include "export/lrc_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kdb2mid {

namespace {

void appendTwoDigits(std::string& out, std::int64_t value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// mm:ss.xx, minutes at least two digits.
void appendTime(std::string& out, std::int64_t hundredths) {
    const std::int64_t minutes = hundredths / 6000;
    if (minutes < 100) {
        appendTwoDigits(out, minutes);
    } else {
        out += std::to_string(minutes);
    }
    out += ':';
    appendTwoDigits(out, hundredths / 100 % 60);
    out += '.';
    appendTwoDigits(out, hundredths % 100);
}

void appendTag(std::string& out, std::string_view name, std::string_view value) {
    out += '[';
    out += name;
    out += ':';
    out += value;
    out += "]\n";
}

}  // namespace

std::string writeLrc(const LrcInput& input) {
    std::string out;
    const std::vector<std::string>& titles = input.lyrics.titles;
    if (!titles.empty() && !titles[0].empty()) appendTag(out, "ti", titles[0]);
    if (titles.size() > 1 && !titles[1].empty()) appendTag(out, "ar", titles[1]);

    // Whole seconds rounded to the nearest, as `info` shows the length.
    const std::int64_t seconds = (centiseconds(std::round(input.lengthSeconds)) + 50) / 100;
    std::string length = seconds / 60 < 10 ? "0" : "";
    length += std::to_string(seconds / 60) + ":";
    appendTwoDigits(length, seconds % 60);
    appendTag(out, "length", length);
    appendTag(out, "re", "kdb2mid " + std::string(input.version));

    std::int64_t last = 0;
    for (const TimedLine& line : input.lyrics.lines) {
        bool first = true;
        for (const TimedWord& word : line.words) {
            last = std::max(last, centiseconds(input.tempo.secondsAt(word.tick)));
            if (first) {
                out += '[';
                appendTime(out, last);
                out += ']';
            } else {
                out += ' ';
            }
            out += '<';
            appendTime(out, last);
            out += '>';
            out += word.text;
            first = false;
        }
        out += '\n';
    }
    return out;
}

}  // namespace kdb2mid
