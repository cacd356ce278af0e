// The song book's value: what its lines show, its sections and groups, and
// the command's choices of format and sections.
#include <gtest/gtest.h>

#include "collation/title_order.hpp"
#include "songbook/book_builder.hpp"
#include "songbook/songbook.hpp"

namespace kdb2mid {
namespace {

std::vector<std::uint8_t> stored(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Book, StoredTextShownOnOneLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  TRO\xC1NG C\xD4M  ", "TRỐNG CƠM"},           // letters decoded, spaces trimmed
        {"A\nB\rC\tD\x1B[31m", "A\uFFFDB\uFFFDC\uFFFDD\uFFFD[31m"},  // controls
        {"X\x7FY", "X\uFFFDY"},                           // DEL
        {"\x81", "\uFFFD"},                               // no Windows-1252 character: C1
        {"\x01", "\uFFFD"},
        {"   ", ""},
    };
    for (const auto& [bytes, shown] : cases) EXPECT_EQ(bookText(stored(bytes)), shown) << bytes;
    EXPECT_EQ(shownText("a\xFF" "b"), "a\uFFFDb");  // malformed UTF-8, as a --title may be
    EXPECT_EQ(bookText(stored(std::string(5000, 'x'))).size(), kMaxCatalogueTextBytes);
}

TEST(Book, SectionsSortAndGroupTheSongs) {
    const std::vector<CatalogueEntry> entries = {
        {50001, "ĐÊM", {"Đêm", "Trịnh Công Sơn"}},
        {50002, "ANH", {"Anh"}},  // no second title
        {50003, "ĂN", {"Ăn", "Dân ca"}},
        {51000, "", {}},  // no title at all
        {51001, "DẠ", {"Dạ", "Âu Cơ"}},
    };
    const std::optional<Book> made = makeBook(
        entries,
        {"", {BookSection::title, BookSection::secondTitle, BookSection::number}, Paper::a4},
        sortTitles);
    ASSERT_TRUE(made);
    const Book& book = *made;
    EXPECT_EQ(book.title, "Karaoke Songs");
    EXPECT_EQ(book.songCount, "5 songs");
    ASSERT_EQ(book.parts.size(), 3U);

    const auto shown = [&](const BookPart& part) {
        std::vector<std::pair<std::string, std::vector<std::int32_t>>> groups;
        for (const BookGroup& group : part.groups) {
            groups.push_back({group.heading, {}});
            for (const std::uint32_t song : group.songs) groups.back().second.push_back(book.songs[song].song);
        }
        return groups;
    };
    using Groups = std::vector<std::pair<std::string, std::vector<std::int32_t>>>;
    EXPECT_EQ(shown(book.parts[0]),
              (Groups{{"#", {51000}}, {"A", {50002}}, {"Ă", {50003}}, {"D", {51001}}, {"Đ", {50001}}}));
    EXPECT_EQ(shown(book.parts[1]), (Groups{{"Â", {51001}}, {"D", {50003}}, {"T", {50001}}}));
    EXPECT_EQ(shown(book.parts[2]), (Groups{{"50000", {50001, 50002, 50003}}, {"51000", {51000, 51001}}}));

    const BookSong& dem = book.songs[0];
    EXPECT_EQ(lineText(dem, BookSection::secondTitle), "Trịnh Công Sơn");
    EXPECT_EQ(lineDetail(dem, BookSection::secondTitle), "ĐÊM");
    EXPECT_EQ(dem.searchText, "50001 dem dem trinh cong son");
}

TEST(Book, FormatAndSectionChoices) {
    EXPECT_EQ(bookFormatOf("Book.PDF"), BookFormat::pdf);
    EXPECT_EQ(bookFormatOf("dir.x/book.html"), BookFormat::html);
    EXPECT_EQ(bookFormatOf("book.htm"), BookFormat::html);
    for (const char* name : {"book.txt", "book", "pdf", "book.pdf.gz"}) {
        EXPECT_FALSE(bookFormatOf(name)) << name;
    }
    EXPECT_EQ(parseBookSections("number,title"),
              (std::vector<BookSection>{BookSection::number, BookSection::title}));
    EXPECT_EQ(parseBookSections("artist"), std::vector<BookSection>{BookSection::secondTitle});
    for (const char* refused : {"", "title,", "title,title", "Title", "title artist", "album"}) {
        EXPECT_FALSE(parseBookSections(refused)) << refused;
    }
}

}  // namespace
}  // namespace kdb2mid
