// The walk of `kdb2mid list`: every song that has a record, with its name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.hpp"
#include "io/song_database.hpp"
#include "inspect/song_json.hpp"
#include "messages/message_sink.hpp"

namespace kdb2mid {

struct ListedSong {
    std::int32_t song = 0;
    // As stored: name.tab's name, else the first of the record's titles that
    // holds more than spaces; empty when there is none.
    std::span<const std::uint8_t> name;
    bool fromNameTable = false;
};

// Calls each for every song of SONG.IDX that has a record, in order; a
// record that runs past SONG.DAT's end, or is too large to read, is listed
// too (converting it says what is wrong). nameIndex and nameTable are
// name.idx and name.tab, either of them not open when missing. Stops early
// once the run is interrupted. Memory does not grow with the database.
void listSongs(const SongDatabase& database, const RandomAccessFile& nameIndex,
               const RandomAccessFile& nameTable, const std::function<void(const ListedSong&)>& each);

// name.idx and name.tab of a database folder, opened for listSongs. Names are
// optional: a song without one is listed under its first title.
struct NameFiles {
    RandomAccessFile index;
    RandomAccessFile table;
    // For standard error: a file that is missing, or is no regular file (a
    // FIFO would block), which fails the listing.
    std::vector<std::string> notices;
    bool refused = false;
};

// Opens the name files of folder into files.
void openNameFiles(const std::filesystem::path& folder, NameFiles& files);

// "<number>\t<name as UTF-8>" without a line end; no name gives "<number>\t".
std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName);

// The positions of names in the order a sorted listing shows them; false
// when they cannot be sorted (songbook's Vietnamese collation is missing).
using TitleSort =
    std::function<bool(const std::vector<std::string>& names, std::vector<std::size_t>& order)>;

// `kdb2mid list`: "<number>\t<name>" (or {"song":N,"name":"..."}) to
// out.line for every song of the database in folder that has a record, by
// number, or in sortTitles' order of the names when it is given (songs whose
// names sort equal by number). The name is name.tab's, else the song's first
// title as search shows it. False after a failure line; a missing name file
// is a notice and no failure.
bool listDatabase(const std::filesystem::path& folder, OutputForm form,
                  const TitleSort& sortTitles, const MessageSink& out);

}  // namespace kdb2mid
