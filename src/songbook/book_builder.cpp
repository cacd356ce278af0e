#include "songbook/book_builder.hpp"

#include "format/utf8_text.hpp"
#include "format/vni_text.hpp"
#include "messages/songbook_messages.hpp"
#include "search/search_text.hpp"

namespace kdb2mid {

namespace {

// Songs numbered together in the number section, one heading each.
constexpr std::int32_t kNumbersPerGroup = 1000;

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Groups the songs at order (already sorted) under the headings heading()
// gives, a new group wherever it changes.
template <typename Heading>
std::vector<BookGroup> groupSongs(const std::vector<std::uint32_t>& order, Heading heading) {
    std::vector<BookGroup> groups;
    for (const std::uint32_t song : order) {
        std::string name = heading(song);
        if (groups.empty() || groups.back().heading != name) groups.push_back({std::move(name), {}});
        groups.back().songs.push_back(song);
    }
    return groups;
}

const char* sectionName(BookSection by) {
    switch (by) {
        case BookSection::secondTitle: return kBookBySecondTitle;
        case BookSection::number: return kBookByNumber;
        case BookSection::title: break;
    }
    return kBookByTitle;
}

std::optional<BookPart> alphabeticalPart(const Book& book, BookSection by, TitleSorter sortTitles) {
    std::vector<std::uint32_t> listed;
    std::vector<std::string> texts;
    for (std::uint32_t i = 0; i < book.songs.size(); ++i) {
        const std::string& text = lineText(book.songs[i], by);
        if (by == BookSection::secondTitle && text.empty()) continue;
        listed.push_back(i);
        texts.push_back(text);
    }
    std::vector<std::size_t> sorted;
    std::vector<std::string> headings;
    if (!sortTitles(texts, sorted, &headings)) return std::nullopt;
    std::vector<std::uint32_t> order;
    order.reserve(listed.size());
    for (const std::size_t at : sorted) order.push_back(listed[at]);
    // headings[i] belongs to texts[i], the song at listed[i].
    std::vector<std::string> headingOf(book.songs.size());
    for (std::size_t i = 0; i < listed.size(); ++i) headingOf[listed[i]] = std::move(headings[i]);
    return BookPart{by, sectionName(by),
                    groupSongs(order, [&](std::uint32_t song) { return headingOf[song]; })};
}

BookPart numberPart(const Book& book) {
    std::vector<std::uint32_t> order(book.songs.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    return {BookSection::number, kBookByNumber, groupSongs(order, [&](std::uint32_t song) {
                const std::int32_t number = book.songs[song].song;
                return std::to_string(number - number % kNumbersPerGroup);
            })};
}

}  // namespace

std::string bookText(std::span<const std::uint8_t> stored) {
    return shownText(decodeVniToUtf8(stored));
}

std::string shownText(std::string_view utf8) {
    const std::string decoded = wellFormedUtf8(utf8);
    std::string shown;
    shown.reserve(decoded.size());
    for (const char c : decoded) {
        // C1 controls are U+FFFD already; C0 and DEL are single bytes.
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && isControlCharacter(byte)) {
            appendUtf8(kReplacementCharacter, shown);
        } else {
            shown += c;
        }
    }
    return std::string(utf8Prefix(trimSpaces(shown), kMaxCatalogueTextBytes));
}

std::optional<Book> makeBook(std::vector<CatalogueEntry> entries, const BookSettings& settings,
                             TitleSorter sortTitles) {
    Book book;
    book.title = shownText(settings.title);
    if (book.title.empty()) book.title = kBookDefaultTitle;
    book.songCount = bookSongCount(entries.size());
    book.songs.reserve(entries.size());
    for (CatalogueEntry& entry : entries) {
        BookSong song;
        song.song = entry.song;
        appendFolded(std::to_string(entry.song), song.searchText);
        appendFolded(entry.name, song.searchText);
        for (const std::string& title : entry.titles) appendFolded(title, song.searchText);
        if (entry.titles.size() >= 2) song.secondTitle = std::move(entry.titles[1]);
        song.title = std::move(entry.name);
        book.songs.push_back(std::move(song));
    }
    for (const BookSection by : settings.sections) {
        if (by == BookSection::number) {
            book.parts.push_back(numberPart(book));
            continue;
        }
        std::optional<BookPart> part = alphabeticalPart(book, by, sortTitles);
        if (!part) return std::nullopt;
        book.parts.push_back(std::move(*part));
    }
    return book;
}

}  // namespace kdb2mid
