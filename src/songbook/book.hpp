// The song book as a value: every song of a database with its title and
// second title, in sections sorted by title, by second title (the composer or
// singer line the records hold) or by number, each cut into groups under a
// heading (the letter where the first letter changes). The PDF and the HTML
// page are both drawn from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "collation/title_order.hpp"
#include "search/catalogue.hpp"

namespace kdb2mid {

enum class BookSection : std::uint8_t { title, secondTitle, number };
enum class Paper : std::uint8_t { a4, letter };

struct BookSettings {
    std::string title;                  // on the cover and in the running head, UTF-8
    std::vector<BookSection> sections;  // in this order
    Paper paper = Paper::a4;
};

struct BookSong {
    std::int32_t song = 0;
    std::string title;        // the name it is listed under (as `list`)
    std::string secondTitle;  // the record's second title; empty when it has none
    std::string searchText;   // number, name and every title, folded as search folds them
};

struct BookGroup {
    std::string heading;               // "A", "Đ", "#", "50000"
    std::vector<std::uint32_t> songs;  // positions in Book::songs
};

struct BookPart {
    BookSection by = BookSection::title;
    std::vector<BookGroup> groups;
};

struct Book {
    std::string title;
    std::vector<BookSong> songs;  // by number
    std::vector<BookPart> parts;
};

// Text as the book shows it: every control character and every malformed
// sequence made U+FFFD (so that a stored line break cannot break a line of
// the book), spaces at either end dropped, at most kMaxCatalogueTextBytes
// bytes.
std::string shownText(std::string_view utf8);
// The same for a stored name or title, decoded to UTF-8 first.
std::string bookText(std::span<const std::uint8_t> stored);

// The book of the songs in entries, under settings.title (shown as
// shownText shows it; kBookDefaultTitle when that is empty) (as buildCatalogue with bookText makes
// them). A song without a second title is left out of that section; one
// without any title is filed under "#". Throws std::bad_alloc only.
Book makeBook(std::vector<CatalogueEntry> entries, const BookSettings& settings,
              const TitleCollator& collator);

// What a section's lines show first: the title, or the second title in its
// own section.
const std::string& lineText(const BookSong& song, BookSection by);
// And after it, smaller: the other one.
const std::string& lineDetail(const BookSong& song, BookSection by);
// The section's name, for its heading and the running head.
const char* sectionName(BookSection by);

}  // namespace kdb2mid
