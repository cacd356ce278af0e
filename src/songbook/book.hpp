// The song book as a value: every song of a database with its title and
// second title, in sections sorted by title, by second title (the composer or
// singer line the records hold) or by number, each cut into groups under a
// heading (the letter where the first letter changes). The PDF and the HTML
// page are both drawn from it. Plain values only: the song book module
// (songbook_module.hpp) reads them too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    std::string name;  // its heading and running head: "Songs by title"
    std::vector<BookGroup> groups;
};

struct Book {
    std::string title;
    std::string songCount;  // "5 songs", for the cover
    std::vector<BookSong> songs;  // by number
    std::vector<BookPart> parts;
};

// What a section's lines show first: the title, or the second title in its
// own section.
inline const std::string& lineText(const BookSong& song, BookSection by) {
    return by == BookSection::secondTitle ? song.secondTitle : song.title;
}
// And after it, smaller: the other one.
inline const std::string& lineDetail(const BookSong& song, BookSection by) {
    return by == BookSection::secondTitle ? song.title : song.secondTitle;
}

}  // namespace kdb2mid
