#include "songbook/songbook.hpp"

#include <algorithm>
#include <new>

#include "io/file_io.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"
#include "messages/songbook_messages.hpp"
#include "songbook/book_builder.hpp"
#include "songbook/book_html.hpp"
#include "songbook/songbook_module.hpp"

namespace kdb2mid {

SongbookResult makeSongbook(const SongDatabase& database, const SongbookRequest& request) noexcept {
    SongbookResult result;
    try {
        std::string why;
        const SongbookModule* module = songbookModule(why);
        if (module == nullptr) {
            result.failure = bookModuleMissing(why);
            return result;
        }
        const std::optional<Book> book =
            makeBook(buildCatalogue(database, 0, bookText), request.settings, module->sortTitles);
        if (!book) {
            result.failure = kBookNoCollation;
            return result;
        }
        result.songs = book->songs.size();
        if (request.format == BookFormat::html) {
            result.bytes = renderBookHtml(*book);
            return result;
        }
        const BookPdf pdf = module->renderPdf(*book, request.settings.paper);
        if (pdf.outOfMemory) {
            result.failure = kBookTooLarge;
        } else if (pdf.bytes.empty()) {
            result.failure = bookPdfFailed(pdf.failure);
        } else {
            result.bytes.assign(pdf.bytes.begin(), pdf.bytes.end());
            result.pages = pdf.pages;
        }
    } catch (const std::bad_alloc&) {
        result = SongbookResult{};
        result.failure = kBookTooLarge;
    }
    return result;
}

std::optional<BookFormat> bookFormatOf(const std::filesystem::path& output) {
    std::string ending = output.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    if (ending == ".pdf") return BookFormat::pdf;
    if (ending == ".html" || ending == ".htm") return BookFormat::html;
    return std::nullopt;
}

std::optional<std::vector<BookSection>> parseBookSections(std::string_view names) {
    std::vector<BookSection> sections;
    std::size_t pos = 0;
    while (pos <= names.size()) {
        const std::size_t end = std::min(names.find(',', pos), names.size());
        const std::string_view name = names.substr(pos, end - pos);
        BookSection section;
        if (name == "title") {
            section = BookSection::title;
        } else if (name == "artist") {
            section = BookSection::secondTitle;
        } else if (name == "number") {
            section = BookSection::number;
        } else {
            return std::nullopt;
        }
        if (std::find(sections.begin(), sections.end(), section) != sections.end()) return std::nullopt;
        sections.push_back(section);
        pos = end + 1;
    }
    return sections;
}

bool writeSongbook(const std::filesystem::path& folder, const SongbookRequest& request,
                   const std::filesystem::path& output, const MessageSink& out) {
    SongDatabase database;
    if (const auto error = database.open(folder); error != SongDatabase::OpenError::none) {
        out.error(databaseOpenFailure(error, folder));
        return false;
    }
    const SongbookResult book = makeSongbook(database, request);
    if (!book.failure.empty()) {
        out.error(book.failure);
        return false;
    }
    // Ctrl-C while the book was made: it is abandoned, not written.
    if (interrupted()) return false;
    AtomicOutputFile file;
    if (file.open(output)) {
        file.write(std::string_view(book.bytes));
        if (file.commit()) return true;
    }
    out.error(outputFailure(output, file.failure()));
    return false;
}

}  // namespace kdb2mid
