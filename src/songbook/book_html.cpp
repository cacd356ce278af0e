#include "songbook/book_html.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "format/utf8_text.hpp"
#include "messages/songbook_messages.hpp"
#include "search/search_text.hpp"

namespace kdb2mid {

// The page's style sheet and script (page/book.css, page/book.js).
extern const char* const kBookCss;
extern const char* const kBookScript;

namespace {

// Text for an element's content or a quoted attribute.
void appendEscaped(std::string_view text, std::string& out) {
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    appendEscaped(text, out);
    return out;
}

// A string as a JSON string inside a <script> element: "</" cannot close it.
void appendJsonString(std::string_view text, std::string& out) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '<') {
            out += "\\u003c";
            continue;
        }
        out += c;
    }
    out += '"';
}

void appendRanges(const std::vector<std::pair<char32_t, char32_t>>& ranges, std::string& out) {
    out += '[';
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (i > 0) out += ',';
        out += '[' + std::to_string(ranges[i].first) + ',' + std::to_string(ranges[i].second) + ']';
    }
    out += ']';
}

void addToRanges(std::vector<std::pair<char32_t, char32_t>>& ranges, char32_t codePoint) {
    if (!ranges.empty() && ranges.back().second + 1 == codePoint) {
        ranges.back().second = codePoint;
    } else {
        ranges.emplace_back(codePoint, codePoint);
    }
}

void appendSong(const BookSong& song, BookSection by, std::string& out) {
    out += "<li data-k=\"";
    appendEscaped(song.searchText, out);
    out += "\"><b>";
    out += std::to_string(song.song);
    out += "</b> <span>";
    const std::string& text = lineText(song, by);
    appendEscaped(text.empty() ? std::string_view("\u2014") : std::string_view(text), out);
    out += "</span>";
    if (const std::string& detail = lineDetail(song, by); !detail.empty()) {
        out += " <small>";
        appendEscaped(detail, out);
        out += "</small>";
    }
    out += "</li>\n";
}

void appendPart(const Book& book, const BookPart& part, std::size_t index, std::string& out) {
    std::string id = std::to_string(index + 1);
    id.insert(id.begin(), 's');
    out += "<section id=\"" + id + "\" aria-labelledby=\"" + id + "h\">\n<h2 id=\"" + id + "h\">";
    appendEscaped(part.name, out);
    out += "</h2>\n<nav class=\"letters\" aria-label=\"";
    appendEscaped(part.name, out);
    out += "\">";
    for (std::size_t g = 0; g < part.groups.size(); ++g) {
        out += "<a href=\"#" + id + "g" + std::to_string(g) + "\">";
        appendEscaped(part.groups[g].heading, out);
        out += "</a> ";
    }
    out += "</nav>\n<div class=\"groups\">\n";
    for (std::size_t g = 0; g < part.groups.size(); ++g) {
        out += "<div class=\"group\"><h3 id=\"" + id + "g" + std::to_string(g) + "\">";
        appendEscaped(part.groups[g].heading, out);
        out += "</h3>\n<ul>\n";
        for (const std::uint32_t song : part.groups[g].songs) appendSong(book.songs[song], part.by, out);
        out += "</ul></div>\n";
    }
    out += "</div>\n</section>\n";
}

}  // namespace

std::string searchFoldTable() {
    std::string map;
    std::vector<std::pair<char32_t, char32_t>> drop;
    std::vector<std::pair<char32_t, char32_t>> split;
    for (char32_t codePoint = 0x80; codePoint <= 0xFFFF; ++codePoint) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) continue;  // no character
        // Between two letters, a mark vanishes, a separator splits the word
        // and a letter shows what it folds to.
        std::string character;
        appendUtf8(codePoint, character);
        const std::string folded = foldForSearch("a" + character + "a");
        const std::string_view middle = std::string_view(folded).substr(1, folded.size() - 2);
        if (middle.empty()) {
            addToRanges(drop, codePoint);
        } else if (middle == " ") {
            addToRanges(split, codePoint);
        } else if (middle != character) {
            if (!map.empty()) map += ',';
            appendJsonString(character, map);
            map += ':';
            appendJsonString(middle, map);
        }
    }
    std::string out = "{\"map\":{" + map + "},\"drop\":";
    appendRanges(drop, out);
    out += ",\"split\":";
    appendRanges(split, out);
    out += '}';
    return out;
}

std::string renderBookHtml(const Book& book) {
    std::string out;
    out.reserve(4096 + book.songs.size() * 160 * std::max<std::size_t>(1, book.parts.size()));
    const std::string title = escaped(book.title);
    out += "<!DOCTYPE html>\n<html lang=\"vi\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    out += title;
    out += "</title>\n<style>\n";
    out += kBookCss;
    out += "</style>\n</head>\n<body>\n<header>\n<h1>";
    out += title;
    out += "</h1>\n<p class=\"count\">";
    appendEscaped(book.songCount, out);
    out += "</p>\n<form role=\"search\" onsubmit=\"return false\">\n<label for=\"find\">";
    out += kBookSearchLabel;
    out += "</label>\n<input id=\"find\" type=\"search\" autocomplete=\"off\" spellcheck=\"false\">\n"
           "</form>\n<p id=\"none\" role=\"status\" hidden>";
    out += kBookNoMatch;
    out += "</p>\n</header>\n<main>\n";
    for (std::size_t i = 0; i < book.parts.size(); ++i) appendPart(book, book.parts[i], i, out);
    out += "</main>\n<script type=\"application/json\" id=\"fold\">";
    out += searchFoldTable();
    out += "</script>\n<script>\n";
    out += kBookScript;
    out += "</script>\n</body>\n</html>\n";
    return out;
}

}  // namespace kdb2mid
