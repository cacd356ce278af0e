// `kdb2mid songbook`'s work below the command line: the songs of an open
// database read once, sorted, and laid out as a PDF or an HTML page, in
// memory; the caller writes the file (complete or absent).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/song_database.hpp"
#include "messages/message_sink.hpp"
#include "songbook/book.hpp"

namespace kdb2mid {

enum class BookFormat : std::uint8_t { pdf, html };

struct SongbookRequest {
    BookSettings settings;
    BookFormat format = BookFormat::pdf;
};

struct SongbookResult {
    std::string bytes;    // the whole file; empty when failure is set
    std::string failure;  // the line to print when the book could not be made
    std::size_t songs = 0;
    int pages = 0;  // of the PDF
};

// The book of every song of the open database that has a record, titles read
// as `info` reads them (name.idx and name.tab when present, the record's
// titles otherwise). Never throws.
SongbookResult makeSongbook(const SongDatabase& database, const SongbookRequest& request) noexcept;

// `kdb2mid songbook`: the book of the database in folder written to output,
// whole or not at all; not written when the run is interrupted meanwhile.
// False after a failure line to out.error (or after an interruption).
bool writeSongbook(const std::filesystem::path& folder, const SongbookRequest& request,
                   const std::filesystem::path& output, const MessageSink& out);

// The format a file name asks for by its ending (.pdf, .html or .htm, in any
// case); nothing for another ending.
std::optional<BookFormat> bookFormatOf(const std::filesystem::path& output);

// "title,artist,number" (in any order, each at most once) as sections;
// nothing when a name is unknown, repeated or the list is empty.
std::optional<std::vector<BookSection>> parseBookSections(std::string_view names);

}  // namespace kdb2mid
