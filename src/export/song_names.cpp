#include "export/song_names.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "format/byte_order.hpp"
#include "format/export_layout.hpp"

namespace kdb2mid {

namespace {

// One column of the composition table: what a diacritic byte makes of each
// base letter, in BaseLetter order (A E O Ơ U Ư Y); 0 where the base cannot
// carry the mark.
struct DiacriticColumn {
    std::uint8_t byte;
    std::array<char16_t, kBaseLetterCount> letters;
};

// The 16 diacritic bytes and their 58 composed capitals.
constexpr DiacriticColumn kDiacriticColumns[] = {
    {0xC0, {u'\u1EA6', u'\u1EC0', u'\u1ED2', 0, 0, 0, 0}},  // circumflex and grave
    {0xC1, {u'\u1EA4', u'\u1EBE', u'\u1ED0', 0, 0, 0, 0}},  // circumflex and acute
    {0xC2, {u'\u00C2', u'\u00CA', u'\u00D4', 0, 0, 0, 0}},  // circumflex
    {0xC3, {u'\u1EAA', u'\u1EC4', u'\u1ED6', 0, 0, 0, 0}},  // circumflex and tilde
    {0xC4, {u'\u1EAC', u'\u1EC6', u'\u1ED8', 0, 0, 0, 0}},  // circumflex and dot below
    {0xC5, {u'\u1EA8', u'\u1EC2', u'\u1ED4', 0, 0, 0, 0}},  // circumflex and hook above
    {0xC8, {u'\u1EB0', 0, 0, 0, 0, 0, 0}},                  // breve and grave
    {0xC9, {u'\u1EAE', 0, 0, 0, 0, 0, 0}},                  // breve and acute
    {0xCA, {u'\u0102', 0, 0, 0, 0, 0, 0}},                  // breve
    {0xCB, {u'\u1EB6', 0, 0, 0, 0, 0, 0}},                  // breve and dot below
    {0xCF, {u'\u1EA0', u'\u1EB8', u'\u1ECC', u'\u1EE2', u'\u1EE4', u'\u1EF0', u'\u1EF4'}},  // dot below
    {0xD5, {u'\u00C3', u'\u1EBC', u'\u00D5', u'\u1EE0', u'\u0168', u'\u1EEE', u'\u1EF8'}},  // tilde
    {0xD8, {u'\u00C0', u'\u00C8', u'\u00D2', u'\u1EDC', u'\u00D9', u'\u1EEA', u'\u1EF2'}},  // grave
    {0xD9, {u'\u00C1', u'\u00C9', u'\u00D3', u'\u1EDA', u'\u00DA', u'\u1EE8', u'\u00DD'}},  // acute
    {0xDA, {u'\u1EB2', 0, 0, 0, 0, 0, 0}},                  // breve and hook above
    {0xDB, {u'\u1EA2', u'\u1EBA', u'\u1ECE', u'\u1EDE', u'\u1EE6', u'\u1EEC', u'\u1EF6'}},  // hook above
};

// Column number in kDiacriticColumns for each byte, -1 for bytes that are no
// diacritic.
constexpr std::array<std::int8_t, 256> kColumnOfByte = [] {
    std::array<std::int8_t, 256> columns{};
    columns.fill(-1);
    for (std::size_t i = 0; i < std::size(kDiacriticColumns); ++i) {
        columns[kDiacriticColumns[i].byte] = static_cast<std::int8_t>(i);
    }
    return columns;
}();

// Letters that are one byte in the name encoding and no Latin-1 character of
// the same value. Every other byte is the code unit of its own value.
constexpr char16_t singleByteLetter(std::uint8_t byte) noexcept {
    switch (byte) {
        case 0xC6: return u'\u1EC8';  // Ỉ
        case 0xD1: return u'\u0110';  // Đ
        case 0xD2: return u'\u1ECA';  // Ị
        case 0xD3: return u'\u0128';  // Ĩ
        case 0xD4: return u'\u01A0';  // Ơ
        case 0xD6: return u'\u01AF';  // Ư
        default: return byte;
    }
}

// What a name byte that is no diacritic writes. A line feed or carriage
// return would split the list into lines that belong to no song; no stored
// name holds one, so such a byte is damage and shows as U+FFFD.
constexpr char16_t nameUnit(std::uint8_t byte) noexcept {
    if (byte == '\n' || byte == '\r') return u'\uFFFD';
    return singleByteLetter(byte);
}

// The row a code unit chooses when a diacritic byte follows it; only the
// capital base letters choose one.
constexpr CompositionRow rowOf(char16_t unit) noexcept {
    switch (unit) {
        case u'A': return BaseLetter::a;
        case u'E': return BaseLetter::e;
        case u'O': return BaseLetter::o;
        case u'\u01A0': return BaseLetter::oHorn;
        case u'U': return BaseLetter::u;
        case u'\u01AF': return BaseLetter::uHorn;
        case u'Y': return BaseLetter::y;
        default: return std::nullopt;
    }
}

constexpr std::uint64_t kNameEntrySize = kIndexEntrySize;

void appendUnit(std::vector<std::uint8_t>& text, char16_t unit) {
    text.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    text.push_back(static_cast<std::uint8_t>(unit >> 8));
}

void appendUnits(std::vector<std::uint8_t>& text, std::span<const char16_t> units) {
    for (char16_t unit : units) appendUnit(text, unit);
}

void appendAscii(std::vector<std::uint8_t>& text, std::string_view ascii) {
    for (char c : ascii) appendUnit(text, static_cast<char16_t>(c));
}

// "\t<number>\n", the tail of every line.
void appendLineTail(std::vector<std::uint8_t>& text, std::int32_t song) {
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), song);
    appendUnit(text, u'\t');
    appendAscii(text, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    appendUnit(text, u'\n');
}

constexpr std::string_view kNoNameMark = "*****";

}  // namespace

std::optional<char16_t> composedLetter(BaseLetter base, std::uint8_t diacritic) noexcept {
    const std::int8_t column = kColumnOfByte[diacritic];
    if (column < 0) return std::nullopt;
    return kDiacriticColumns[static_cast<std::size_t>(column)]
        .letters[static_cast<std::size_t>(base)];
}

CompositionRow convertName(std::span<const std::uint8_t> name, CompositionRow row,
                           std::vector<char16_t>& units) {
    const std::size_t nameStart = units.size();
    for (const std::uint8_t byte : name) {
        const std::int8_t column = kColumnOfByte[byte];
        if (column < 0) {
            units.push_back(nameUnit(byte));
            continue;
        }
        // A diacritic byte: the row comes from the letter it follows when that
        // is a base letter and stays as it was otherwise.
        if (units.size() > nameStart) {
            if (const CompositionRow chosen = rowOf(units.back())) row = chosen;
        }
        if (units.size() == nameStart || !row) {
            // Nothing of this name to compose with, or no base letter yet in
            // the run: the byte is written as its own value and replaces
            // nothing, so the previous line stays whole.
            units.push_back(byte);
            continue;
        }
        units.back() = kDiacriticColumns[static_cast<std::size_t>(column)]
                           .letters[static_cast<std::size_t>(*row)];
    }
    return row;
}

bool isFailure(const SongNameNotice& notice) noexcept {
    return notice.kind != SongNameNotice::Kind::skipped;
}

namespace {

// The bytes [offset, offset + length) from the window that holds them whole,
// or nothing.
std::optional<std::span<const std::uint8_t>> windowBytes(std::span<const NameTableWindow> windows,
                                                         std::uint64_t offset,
                                                         std::uint64_t length) {
    auto after = std::upper_bound(
        windows.begin(), windows.end(), offset,
        [](std::uint64_t at, const NameTableWindow& window) { return at < window.base; });
    if (after == windows.begin()) return std::nullopt;
    const NameTableWindow& window = *(after - 1);
    const std::uint64_t at = offset - window.base;
    if (at > window.bytes.size() || window.bytes.size() - at < length) return std::nullopt;
    return window.bytes.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
}

// The names' entries exportSongNames reads: one more than it has lines.
std::size_t entriesRead(std::span<const std::uint8_t> indexEntries) {
    return std::min<std::size_t>(indexEntries.size() / kNameEntrySize, kListedSongCount + 1);
}

}  // namespace

std::vector<NameTableRange> nameTableRanges(std::span<const std::uint8_t> indexEntries,
                                            std::uint64_t tableSize) {
    std::vector<NameTableRange> names;
    const std::size_t entries = entriesRead(indexEntries);
    for (std::size_t i = 0; i + 1 < entries; ++i) {
        const std::uint64_t start = readBigEndian32(indexEntries, i * kNameEntrySize);
        const std::uint64_t next = readBigEndian32(indexEntries, (i + 1) * kNameEntrySize);
        // The same checks as the export's: an increasing pair, a name that
        // ends inside the table and is not too long; an empty name reads nothing.
        if (next <= start + 1 || next - 1 > tableSize || next - 1 - start > kMaxNameBytes) continue;
        names.push_back({start, next - 1});
    }
    std::sort(names.begin(), names.end(),
              [](const NameTableRange& a, const NameTableRange& b) { return a.first < b.first; });
    std::vector<NameTableRange> parts;
    for (const NameTableRange& name : names) {
        if (!parts.empty() && name.first <= parts.back().end + kMaxNameBytes) {
            parts.back().end = std::max(parts.back().end, name.end);
        } else {
            parts.push_back(name);
        }
    }
    return parts;
}

SongNameList exportSongNames(std::span<const std::uint8_t> indexEntries, NameTableWindow table) {
    return exportSongNames(indexEntries, std::span(&table, 1), table.base + table.bytes.size());
}

SongNameList exportSongNames(std::span<const std::uint8_t> indexEntries,
                             std::span<const NameTableWindow> windows, std::uint64_t tableSize) {
    SongNameList list;
    const std::size_t entries = entriesRead(indexEntries);
    const std::size_t lines = entries == 0 ? 0 : entries - 1;
    const auto indexEnds = [&] {
        if (lines < kListedSongCount) {
            list.notices.push_back({SongNameNotice::Kind::indexEnds,
                                    kFirstListedSong + static_cast<std::int32_t>(lines)});
        }
    };
    if (lines == 0) {
        indexEnds();
        return list;
    }

    std::vector<char16_t> units;
    CompositionRow row;
    appendUnit(list.text, u'\uFEFF');
    std::uint64_t previous = readBigEndian32(indexEntries, 0);
    for (std::size_t line = 0; line < lines; ++line) {
        const auto song = kFirstListedSong + static_cast<std::int32_t>(line);
        const std::uint64_t current = readBigEndian32(indexEntries, (line + 1) * kNameEntrySize);
        // The name is [previous, current - 1): the byte before the next name
        // belongs to no name.
        std::optional<SongNameNotice::Kind> problem;
        if (current == previous) {
            problem = SongNameNotice::Kind::skipped;
        } else if (current < previous) {
            problem = SongNameNotice::Kind::entryBelowPrevious;
        }
        // A name is as long as its entries say, once they are checked against
        // the table and against kMaxNameBytes (the 256-byte buffer of the
        // database's own tools was no limit of the format, but entries that
        // jump about could otherwise repeat most of name.tab on every line).
        // An empty name reads nothing, wherever it lies.
        const std::uint64_t length = problem ? 0 : current - 1 - previous;
        std::optional<std::span<const std::uint8_t>> name;
        if (length > 0 && previous + length > tableSize) {
            problem = SongNameNotice::Kind::namePastTableEnd;
        } else if (length > kMaxNameBytes) {
            problem = SongNameNotice::Kind::nameTooLong;
        } else if (length > 0 && !(name = windowBytes(windows, previous, length))) {
            problem = SongNameNotice::Kind::namePastTableEnd;
        }
        if (problem) {
            list.notices.push_back({*problem, song});
            appendAscii(list.text, kNoNameMark);
        } else {
            units.clear();
            row = convertName(name.value_or(std::span<const std::uint8_t>{}), row, units);
            appendUnits(list.text, units);
        }
        appendLineTail(list.text, song);
        // A skipped song's entry equals the next name's start already; after
        // an entry below its predecessor the next name starts where it says.
        previous = current;
    }
    indexEnds();
    return list;
}

}  // namespace kdb2mid
