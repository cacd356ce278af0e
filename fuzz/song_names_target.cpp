// Proves that the song-name export, given any name.idx entries and any
// name.tab bytes, ends cleanly with a UTF-16LE text that starts with its
// byte-order mark and holds only whole lines, each ending in a tab and the
// next song number from 50001 on, no line ends in a carriage return, and that
// its size is bounded by the names it can hold.
//
// Input: byte 0 bit 0 set: the entries given are extended to the export's
// full range by repeating the last one (the songs after it have no name);
// clear: name.idx ends where they end. Bytes 1..2: big-endian length of the
// name.idx entries from song 50001 on, which follow; the rest is name.tab.
#include <algorithm>
#include <string>
#include <vector>

#include "export/song_names.hpp"
#include "foundation/database_layout.hpp"
#include "fuzz_targets.hpp"

namespace kdb2mid::fuzz {

namespace {

constexpr std::int32_t kFirstNamedSong = 50001;
constexpr std::int32_t kLastNamedSong = 51894;
// Entries from song 50001 up to and including 51895, the end of the last name.
constexpr std::size_t kEntryBytes = 4 * (kLastNamedSong - kFirstNamedSong + 2);

std::vector<std::uint8_t> nameIndexFrom(std::span<const std::uint8_t> entries, bool complete) {
    std::vector<std::uint8_t> index(*songIndexOffset(kFirstNamedSong), 0);
    index.insert(index.end(), entries.begin(), entries.end());
    if (complete && entries.size() >= 4 && entries.size() < kEntryBytes) {
        const std::size_t whole = entries.size() / 4 * 4;
        index.resize(index.size() - (entries.size() - whole));
        const std::vector<std::uint8_t> last(entries.begin() + static_cast<std::ptrdiff_t>(whole - 4),
                                             entries.begin() + static_cast<std::ptrdiff_t>(whole));
        while (index.size() < *songIndexOffset(kFirstNamedSong) + kEntryBytes) {
            index.insert(index.end(), last.begin(), last.end());
        }
    }
    return index;
}

// The UTF-16LE code units after the byte-order mark.
std::vector<std::uint16_t> codeUnits(const std::vector<std::uint8_t>& text) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        units.push_back(static_cast<std::uint16_t>(text[i] | (text[i + 1] << 8)));
    }
    return units;
}

void checkLines(const std::vector<std::uint16_t>& units, std::size_t nameTableSize) {
    std::int32_t expected = kFirstNamedSong;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        require(units[i] != 0x000D, "carriage return in Output.txt");
        if (units[i] != 0x000A) continue;
        const std::u16string digits = u"\t" + [&] {
            std::u16string number;
            for (char c : std::to_string(expected)) number.push_back(static_cast<char16_t>(c));
            return number;
        }();
        require(i - lineStart >= digits.size() &&
                    std::equal(digits.begin(), digits.end(),
                               units.begin() + static_cast<std::ptrdiff_t>(i - digits.size())),
                "line does not end in a tab and the next song number");
        require(i - lineStart - digits.size() <= std::max<std::size_t>(nameTableSize, 5),
                "name longer than name.tab");
        ++expected;
        lineStart = i + 1;
    }
    require(lineStart == units.size(), "Output.txt ends inside a line");
    require(expected - kFirstNamedSong <= kLastNamedSong - kFirstNamedSong + 1,
            "more lines than song numbers");
}

}  // namespace

void fuzzSongNames(Input input) {
    const bool complete = !input.empty() && (input[0] & 1U);
    const std::size_t declared = input.size() >= 3 ? (std::size_t{input[1]} << 8) | input[2] : 0;
    const std::size_t entriesStart = std::min<std::size_t>(3, input.size());
    const std::size_t entriesLength = std::min(declared, input.size() - entriesStart);
    const auto entries = input.subspan(entriesStart, entriesLength);
    const auto nameTable = input.subspan(entriesStart + entriesLength);

    const std::vector<std::uint8_t> nameIndex = nameIndexFrom(entries, complete);
    const SongNamesExport result = exportSongNames(nameIndex, nameTable);

    require(result.text.size() >= 2 && result.text[0] == 0xFF && result.text[1] == 0xFE,
            "Output.txt does not start with its byte-order mark");
    require(result.text.size() % 2 == 0, "Output.txt holds half a code unit");
    checkLines(codeUnits(result.text), nameTable.size());
    for (const std::string& notice : result.notices) {
        require(!notice.empty() && notice.find('\n') == std::string::npos,
                "notice is not a single line");
    }
}

}  // namespace kdb2mid::fuzz
