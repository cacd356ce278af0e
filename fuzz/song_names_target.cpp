// Proves that the song-name export, given any name.idx entries and any
// name.tab bytes, ends cleanly with either no text or a UTF-16LE text that
// starts with its byte-order mark and holds one whole line per entry read,
// each ending in a tab and the next song number from 50001 on, never a
// carriage return, and that its size is bounded by the lines times the
// longest name it accepts, whatever the entries claim.
//
// Input: byte 0 bit 0 set: the entries given are extended to the list's full
// range by repeating the last one (the songs after it have no name); clear:
// name.idx ends where they end. Bytes 1..2: big-endian length of the name.idx
// entries from song 50001 on, which follow; the rest is name.tab.
#include <algorithm>
#include <string>
#include <vector>

#include "export/song_names.hpp"
#include "format/export_layout.hpp"
#include "fuzz_targets.hpp"
#include "messages/messages.hpp"

namespace kdb2mid::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The entries the names command reads: whole ones, no more than the list covers.
Bytes entriesFrom(Input given, bool complete) {
    Bytes entries(given.begin(), given.end());
    entries.resize(std::min<std::size_t>(entries.size() / kIndexEntrySize * kIndexEntrySize,
                                         kNameIndexBytesRead));
    if (complete && !entries.empty()) {
        const Bytes last(entries.end() - kIndexEntrySize, entries.end());
        while (entries.size() < kNameIndexBytesRead) entries.insert(entries.end(), last.begin(), last.end());
    }
    return entries;
}

std::vector<char16_t> codeUnits(const Bytes& text) {
    std::vector<char16_t> units;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        units.push_back(static_cast<char16_t>(text[i] | (text[i + 1] << 8)));
    }
    return units;
}

// Checks the lines and returns how many there are.
std::size_t checkLines(const std::vector<char16_t>& units) {
    require(!units.empty() && units[0] == u'\uFEFF', "Output.txt does not start with its byte-order mark");
    std::int32_t song = kFirstListedSong;
    std::size_t lineStart = 1;
    for (std::size_t i = 1; i < units.size(); ++i) {
        require(units[i] != u'\r', "carriage return in Output.txt");
        if (units[i] != u'\n') continue;
        std::u16string tail = u"\t";
        for (char digit : std::to_string(song)) tail.push_back(static_cast<char16_t>(digit));
        require(i - lineStart >= tail.size() &&
                    std::equal(tail.begin(), tail.end(),
                               units.begin() + static_cast<std::ptrdiff_t>(i - tail.size())),
                "line does not end in a tab and the next song number");
        ++song;
        lineStart = i + 1;
    }
    require(lineStart == units.size(), "Output.txt ends inside a line");
    return static_cast<std::size_t>(song - kFirstListedSong);
}

}  // namespace

void fuzzSongNames(Input input) {
    const bool complete = !input.empty() && (input[0] & 1U) != 0;
    const std::size_t declared = input.size() >= 3 ? (std::size_t{input[1]} << 8) | input[2] : 0;
    const std::size_t entriesStart = std::min<std::size_t>(3, input.size());
    const std::size_t entriesLength = std::min(declared, input.size() - entriesStart);
    const Bytes entries = entriesFrom(input.subspan(entriesStart, entriesLength), complete);
    const Input nameTable = input.subspan(entriesStart + entriesLength);

    // The parts of name.tab the names command reads for these entries: the
    // list made from them must be the one the whole table gives.
    const std::vector<NameTableRange> parts = nameTableRanges(entries, nameTable.size());
    std::vector<NameTableWindow> windows;
    std::uint64_t partBytes = 0;
    for (const NameTableRange& part : parts) {
        require(part.first < part.end && part.end <= nameTable.size(), "part outside name.tab");
        require(windows.empty() || part.first > windows.back().base + windows.back().bytes.size(),
                "parts overlap or are out of order");
        windows.push_back({part.first, nameTable.subspan(static_cast<std::size_t>(part.first),
                                                         static_cast<std::size_t>(part.end - part.first))});
        partBytes += part.end - part.first;
    }
    const SongNameList list = exportSongNames(entries, windows, nameTable.size());
    const SongNameList whole = exportSongNames(entries, {0, nameTable});
    require(list.text == whole.text, "names read in parts differ from the whole table's");
    require(list.notices.size() == whole.notices.size(), "notices differ from the whole table's");
    const std::size_t expectedLines = entries.empty() ? 0 : entries.size() / kIndexEntrySize - 1;
    if (expectedLines == 0) {
        require(list.text.empty(), "text without a single name");
    } else {
        require(list.text.size() % 2 == 0, "Output.txt holds half a code unit");
        require(checkLines(codeUnits(list.text)) == expectedLines, "not one line per entry read");
        // Per line at most the longest name accepted (or "*****"), two bytes a
        // name byte, then a tab, five digits and a line feed.
        const std::size_t longest =
            std::max<std::size_t>(std::min<std::size_t>(nameTable.size(), kMaxNameBytes), 5);
        require(list.text.size() <= 2 + expectedLines * (2 * longest + 14),
                "Output.txt larger than its lines can hold");
    }
    require(list.notices.size() <= expectedLines + 1, "more notices than lines");
    require(partBytes <= expectedLines * 2 * kMaxNameBytes, "parts read more than the names need");
    for (const SongNameNotice& notice : list.notices) {
        require(!songNameNotice(notice).empty(), "notice without a line");
    }
}

}  // namespace kdb2mid::fuzz
