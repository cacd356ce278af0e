// The song book as one self-contained HTML page (no network, no file beside
// it: it works from a USB stick on a phone): the same sections as the PDF, a
// search box that ignores marks and case and finds by number, and print
// styles that make a usable paper book too.
#pragma once

#include <string>

#include "songbook/book.hpp"

namespace kdb2mid {

// The page, UTF-8. Every text of the database is escaped; the page's script
// sets nothing as markup. Throws std::bad_alloc only.
std::string renderBookHtml(const Book& book);

// How the page's script folds a query: a JSON object of the code points
// (U+0080 to U+FFFF) that search folds otherwise than keeping them, made by
// asking foldForSearch itself, so that the page finds what `kdb2mid search`
// finds. {"map":{"à":"a",...},"drop":[[first,last],...],"split":[[first,last],...]}:
// letters folded to others, marks dropped, characters that separate words.
std::string searchFoldTable();

}  // namespace kdb2mid
