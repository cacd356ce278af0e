// The song-name list as UTF-16LE text: name.idx + name.tab -> Output.txt.
//
// Names are stored in a capital-letter form of the database's two-byte
// Vietnamese encoding: a letter is one byte, or a base letter followed by a
// diacritic byte. The list has one line per song, "<name>\t<number>\n", with
// "*****" for a song that has no name; each pair composes to one precomposed
// letter.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kdb2mid {

// The base letter a diacritic byte composes with: the row of the composition
// table. It carries over from name to name, so a diacritic byte after a letter
// that is no base composes with the last base seen, as stored lists expect.
enum class BaseLetter : std::uint8_t { a, e, o, oHorn, u, uHorn, y };
inline constexpr std::size_t kBaseLetterCount = 7;

// No value before the first base letter of a run.
using CompositionRow = std::optional<BaseLetter>;

// The precomposed capital that base + diacritic byte make, 0 for a mark the
// base cannot carry (breve after E, ...), nothing for a byte that is no
// diacritic.
std::optional<char16_t> composedLetter(BaseLetter base, std::uint8_t diacritic) noexcept;

// Appends the code units of one name to units and returns the row carried out.
// A diacritic byte replaces the name's last code unit by the composed letter;
// with no code unit of this name before it, or no row chosen yet in the run,
// it stands for itself (its own value), like any other byte; line feeds and
// carriage returns, which would split the list, become U+FFFD. Never touches
// code units before the name's own.
CompositionRow convertName(std::span<const std::uint8_t> name, CompositionRow row,
                           std::vector<char16_t>& units);

// The part of name.tab the names are read from: bytes[i] is the file's byte
// at base + i.
struct NameTableWindow {
    std::uint64_t base = 0;
    std::span<const std::uint8_t> bytes;
};

// A part of name.tab: bytes [first, end).
struct NameTableRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};

// The parts of a name.tab of tableSize bytes that the list reads for these
// entries (as exportSongNames takes them): only names it can export (inside
// the table, at most kMaxNameBytes long), in order of offset, those close
// together joined into one part. A damaged entry that spans gigabytes costs
// nothing: all parts together hold at most 2 x kMaxNameBytes per name.
std::vector<NameTableRange> nameTableRanges(std::span<const std::uint8_t> indexEntries,
                                            std::uint64_t tableSize);

struct SongNameNotice {
    enum class Kind : std::uint8_t {
        skipped,            // equal entries: the song has no name (information only)
        entryBelowPrevious, // the entry after the name lies below the name's start
        namePastTableEnd,   // the name runs past the end of name.tab
        nameTooLong,        // longer than kMaxNameBytes: damaged entries
        indexEnds,          // name.idx holds no entries from this song on
    };
    Kind kind;
    std::int32_t song;
};

// Whether the notice tells of a name that could not be exported (not just
// a song without a name).
bool isFailure(const SongNameNotice& notice) noexcept;

struct SongNameList {
    std::vector<std::uint8_t> text;  // Output.txt; empty when there is not a single line
    std::vector<SongNameNotice> notices;  // in song order
};

// Builds Output.txt from the name.idx bytes from the first listed song's entry
// on (kListedSongCount + 1 entries when complete; fewer end the list early,
// with an indexEnds notice) and the window of name.tab that holds the names.
// A name that cannot be read, or is longer than kMaxNameBytes, gets the
// "*****" line and a notice, so that every line keeps the number of its index
// position. Reads nothing outside the two spans; each line holds at most
// 2 x kMaxNameBytes bytes of name plus a short tail, whatever the entries say.
SongNameList exportSongNames(std::span<const std::uint8_t> indexEntries, NameTableWindow table);

// The same with name.tab (tableSize bytes) read in parts: windows in order of
// base, not overlapping, such as nameTableRanges() gives. A name that lies in
// the table but in no window counts as past the table's end.
SongNameList exportSongNames(std::span<const std::uint8_t> indexEntries,
                             std::span<const NameTableWindow> windows, std::uint64_t tableSize);

}  // namespace kdb2mid
