// The PDF as poppler's pdftotext reads it: lines of titles too long for their
// column and of damaged titles stay inside the page and never overlap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "songbook/book_builder.hpp"
#include "songbook/module/book_pdf.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

struct Box {
    double xMin, yMin, xMax, yMax;
    std::string text;
};
struct Page {
    double width = 0, height = 0;
    std::vector<Box> lines;
};

// pdftotext -bbox-layout's pages and their lines (the words joined).
std::vector<Page> readLines(const std::string& xhtml) {
    std::vector<Page> pages;
    const std::regex tag(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<line xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">|<word [^>]*>([^<]*)</word>)re");
    for (std::sregex_iterator it(xhtml.begin(), xhtml.end(), tag), end; it != end; ++it) {
        const std::smatch& m = *it;
        if (m[1].matched) {
            pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
        } else if (m[3].matched && !pages.empty()) {
            pages.back().lines.push_back(
                {std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), std::stod(m[6]), {}});
        } else if (m[7].matched && !pages.empty() && !pages.back().lines.empty()) {
            std::string& text = pages.back().lines.back().text;
            text += (text.empty() ? "" : " ") + m[7].str();
        }
    }
    return pages;
}

TEST(BookPdf, LongAndDamagedTitlesNeverOverprint) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftotext";
    std::string longTitle;
    for (int i = 0; i < 60; ++i) longTitle += "Trống cơm khen ai khéo vỗ ";
    Book book;
    book.title = "Sổ bài hát";
    book.songs.push_back({50000, longTitle, "Dân ca", ""});
    book.songs.push_back({50001, bookText(std::vector<std::uint8_t>{'A', 0x0C, 'B', '\n'}), "", ""});
    book.songs.push_back({50002, std::string(400, 'W'), std::string(300, 'm'), ""});
    BookPart part{BookSection::title, "Songs by title", {{"T", {0, 1, 2}}}};
    // Enough songs for columns and pages to break.
    for (std::int32_t i = 3; i < 400; ++i) {
        book.songs.push_back({50000 + i, "Bài hát số " + std::to_string(i), i % 3 ? "Ca sĩ" : "", ""});
        part.groups.back().songs.push_back(static_cast<std::uint32_t>(i));
        if (i % 50 == 0) part.groups.push_back({"Ư" + std::to_string(i), {}});
    }
    book.parts = {part, BookPart{BookSection::number, "Songs by number", {{"50000", {2, 1, 0}}}}};

    const BookPdf pdf = renderBookPdf(book, Paper::letter);
    ASSERT_TRUE(pdf.failure.empty()) << pdf.failure;
    ASSERT_GT(pdf.pages, 4);
    const test::TempDir dir;
    std::ofstream(dir / "book.pdf", std::ios::binary)
        .write(reinterpret_cast<const char*>(pdf.bytes.data()), static_cast<std::streamsize>(pdf.bytes.size()));
    const std::string command = "pdftotext -bbox-layout '" + (dir / "book.pdf").string() + "' '" +
                                (dir / "book.html").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "book.html");
    const std::vector<Page> pages = readLines(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(pdf.pages));

    std::size_t longLines = 0;
    bool damagedShown = false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const Page& page = pages[p];
        for (std::size_t i = 0; i < page.lines.size(); ++i) {
            const Box& a = page.lines[i];
            SCOPED_TRACE("page " + std::to_string(p + 1) + ": " + a.text);
            EXPECT_GE(a.xMin, 0);
            EXPECT_GE(a.yMin, 0);
            EXPECT_LE(a.xMax, page.width);
            EXPECT_LE(a.yMax, page.height);
            if (a.text.find("khen ai") != std::string::npos) ++longLines;
            if (a.text.find("A\uFFFDB\uFFFD") != std::string::npos) damagedShown = true;
            // Font boxes of neighbouring lines may touch; text must not cross.
            for (std::size_t j = i + 1; j < page.lines.size(); ++j) {
                const Box& b = page.lines[j];
                const double width = std::min(a.xMax, b.xMax) - std::max(a.xMin, b.xMin);
                const double height = std::min(a.yMax, b.yMax) - std::max(a.yMin, b.yMin);
                EXPECT_FALSE(width > 0.5 && height > 1.0) << "overlaps: " << b.text;
            }
        }
    }
    // The long title wraps, and is cut (an ellipsis drawn for the rest) after
    // three lines, in each of its two sections. (The PDF keeps the whole title
    // for copying and search, so the ellipsis is not in the text.)
    EXPECT_GE(longLines, 4U);
    EXPECT_LE(longLines, 6U);
    EXPECT_TRUE(damagedShown);
}

}  // namespace
}  // namespace kdb2mid
