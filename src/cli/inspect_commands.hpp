// `kdb2mid info`, `kdb2mid list` and `kdb2mid search`: looking at a database
// before converting. Each prints what it found on standard output, a failure
// line on standard error (so that a redirected listing holds only songs), and
// returns the exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kdb2mid {

// How the data is printed: text for people, or one JSON object per song.
enum class OutputForm : std::uint8_t { text, json };

// Titles, tracks, length, melody, lyrics and chorus recordings of one song.
int runInfoCommand(std::int32_t songNumber, const std::filesystem::path& databaseFolder,
                   OutputForm form = OutputForm::text);

// The order of a listing: by song number, or by name in Vietnamese
// alphabetical order (songs whose names collate equal by number).
enum class ListOrder : std::uint8_t { number, title };

// "<number>\t<name>" (or {"song":N,"name":"..."}) for every song that has a
// record. The name is name.tab's, else the song's first title.
int runListCommand(const std::filesystem::path& databaseFolder,
                   OutputForm form = OutputForm::text, ListOrder order = ListOrder::number);

struct SearchRequest {
    std::vector<std::string> words;  // as typed, UTF-8
    std::filesystem::path databaseFolder;
    std::size_t limit = 0;  // at most this many lines; 0: all
};

// "<number>\t<name>" for every song whose name or titles hold each word as
// the start of one of theirs, best first. Exit 0 with matches, 1 without,
// 2 when no word holds a letter or digit. The catalogue is kept in the search
// cache folder (searchCacheFolder()).
int runSearchCommand(const SearchRequest& request);

}  // namespace kdb2mid
