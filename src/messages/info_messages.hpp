// The words of `kdb2mid info`'s report: one "Label:   value" line per fact,
// the values' wording, and the chorus recordings' lines. inspect fills them
// with a song's facts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kdb2mid::info {

// The labels, in the order the report gives them.
inline constexpr const char* kSong = "Song";
inline constexpr const char* kRecord = "Record";
inline constexpr const char* kTitle = "Title";
inline constexpr const char* kDataTracks = "Data tracks";
inline constexpr const char* kLength = "Length";
inline constexpr const char* kLyricLines = "Lyric lines";
inline constexpr const char* kLyricEvents = "Lyric events";
inline constexpr const char* kTwoByteLetters = "Two-byte letters";
inline constexpr const char* kMelody = "Melody";
inline constexpr const char* kChorusRecordings = "Chorus recordings";
// Before the lyric lines, on a line of its own.
inline constexpr const char* kLyricsHeading = "Lyrics:";

// Values.
inline constexpr const char* kNoTitle = "(none)";
inline constexpr const char* kNoChorus = "none";
inline constexpr const char* kNo = "no";

// "<label>:" padded to the values' column, then the value, and a line end.
std::string field(std::string_view label, std::string_view value);
// "<bytes> bytes, <decoded> decoded"
std::string recordSize(std::uint64_t bytes, std::uint64_t decoded);
// "<ticks> ticks, <seconds> seconds (<duration>)"; seconds to a tenth.
std::string songLength(std::uint64_t ticks, double seconds);
// "<count>, from CRS&TCK.IDX entry <entry>"
std::string chorusSummary(std::uint64_t count, std::uint64_t firstEntry);
// "  part <part>: " before a chorus part's size and file, or its problem.
std::string chorusPartPrefix(std::int32_t part);
// "<bytes> bytes, <file>"
std::string chorusPartFile(std::uint64_t bytes, std::string_view file);

}  // namespace kdb2mid::info
