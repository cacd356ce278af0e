// The song book made from the songs of a database: their text as the book
// shows it, sorted into sections and groups.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search/catalogue.hpp"
#include "songbook/book.hpp"
#include "songbook/songbook_module.hpp"

namespace kdb2mid {

// Text as the book shows it: every control character and every malformed
// sequence made U+FFFD (so that a stored line break cannot break a line of
// the book), spaces at either end dropped, at most kMaxCatalogueTextBytes
// bytes.
std::string shownText(std::string_view utf8);
// The same for a stored name or title, decoded to UTF-8 first.
std::string bookText(std::span<const std::uint8_t> stored);

// The book of the songs in entries (as buildCatalogue with bookText makes
// them), under settings.title (as shownText shows it; kBookDefaultTitle when
// that is empty), its titles sorted by sortTitles. A song without a second
// title is left out of that section; one without any title is filed under
// "#". Nothing when sortTitles fails. Throws std::bad_alloc only.
std::optional<Book> makeBook(std::vector<CatalogueEntry> entries, const BookSettings& settings,
                             TitleSorter sortTitles);

}  // namespace kdb2mid
