// The words of the song book (what its readers see) and the lines of the
// songbook command.
#pragma once

#include <cstddef>
#include <string>

namespace kdb2mid {

inline constexpr const char* kBookDefaultTitle = "Karaoke Songs";
// Section names, also the running head of their pages.
inline constexpr const char* kBookByTitle = "Songs by title";
inline constexpr const char* kBookBySecondTitle = "Songs by composer or singer";
inline constexpr const char* kBookByNumber = "Songs by number";
// The page's search box and what it says when nothing matches.
inline constexpr const char* kBookSearchLabel = "Find a song by title, composer, singer or number";
inline constexpr const char* kBookNoMatch = "No song matches.";

// "1 song", "30,000 songs": on the cover.
std::string bookSongCount(std::size_t songs);

// The songbook command's failures.
inline constexpr const char* kBookNoCollation =
    "Cannot sort the titles: ICU has no Vietnamese collation (its data is missing)";
inline constexpr const char* kBookTooLarge = "Not enough memory to make the book";
// Builds configured without ICU, Pango and Cairo (-DKDB2MID_SONGBOOK=OFF).
inline constexpr const char* kBookNotBuilt =
    "this kdb2mid was built without the song book (it needs ICU, Pango and Cairo)";
inline constexpr const char* kSortNotBuilt =
    "this kdb2mid was built without sorting by title (it needs ICU)";
// "Cannot make the song book: <why the module did not load>"
std::string bookModuleMissing(const std::string& why);
// "Cannot make the PDF: <what Cairo said>"
std::string bookPdfFailed(const std::string& reason);
// The usage error for an -o without a known ending and no --format.
std::string bookFormatUnknown(const std::string& output);

}  // namespace kdb2mid
