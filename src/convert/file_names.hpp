// How a song's output files are named: by its number ("50004.mid"), or by a
// pattern of the user's ("{song} - {title}" gives "50004 - Trống Cơm.mid").
// Titles come from an untrusted database and files often go to USB sticks
// formatted FAT or exFAT, so every name is made safe for the strictest of
// the common file systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kdb2mid {

// Longest stem (the name before "_PART.mp3", ".mid", ...) in bytes: file
// systems allow 255, which leaves room for the longest suffix and a " (N)".
inline constexpr std::size_t kMaxFileStemBytes = 200;

// The fields a pattern may use.
struct NameFields {
    std::int32_t song = 0;
    std::string title;   // the first title, UTF-8
    std::string artist;  // the second title, UTF-8; empty when there is none
};

// Why a pattern is refused, or nothing when it is usable: it must hold only
// text and the fields {song}, {title} and {artist}.
std::optional<std::string> checkNamePattern(std::string_view pattern);

// Whether the pattern needs the song's titles (so they must be read first).
bool patternUsesTitles(std::string_view pattern) noexcept;

// The pattern with its fields filled in and made a safe file name: no
// / \ : * ? " < > | or control characters (each becomes "_"), no leading or
// trailing spaces, no trailing dot, not a name Windows reserves (CON, NUL,
// COM1, ...), at most kMaxFileStemBytes bytes cut between characters, and
// never empty (the song number then stands in). Invalid UTF-8 becomes "_".
std::string fileStem(std::string_view pattern, const NameFields& fields);

// Tells apart stems that the same folder could not hold together: a stem
// equal to an earlier one (ignoring case, as FAT, exFAT and NTFS do) gets
// " (2)", " (3)", ... until it is unique. The first of each name keeps it.
std::vector<std::string> distinctStems(std::span<const std::string> stems);

// The same over every file each song writes: song i writes stems[i] followed
// by each of suffixes[i] (".mid", "_1.mp3", ...), and a song any of whose
// files would have the name of an earlier song's file gets " (2)", " (3)",
// ... until none has. So "X_1" and the chorus part 1 of "X" never both write
// "X_1.mp3". suffixes has one list per stem.
std::vector<std::string> distinctStems(std::span<const std::string> stems,
                                       std::span<const std::vector<std::string>> suffixes);

}  // namespace kdb2mid
