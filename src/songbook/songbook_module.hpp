// The song book's module: ICU (the Vietnamese collation) and Pango, Cairo,
// HarfBuzz and fontconfig (the PDF) map some 40 MB of address space and take
// time to load, which every run of the tool would pay, song book or not. So
// they live in a module of their own (songbook/module/, built as
// kdb2mid-songbook.so) that the tool loads the first time a book or a sorted
// list is asked for (io/run_time_module.hpp); this is its interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "songbook/book.hpp"

namespace kdb2mid {

struct BookPdf {
    std::vector<std::uint8_t> bytes;  // the whole file; empty on failure
    std::string failure;              // what Cairo said when it failed
    bool outOfMemory = false;
    int pages = 0;
};

// The positions of titles in Vietnamese alphabetical order (titles that
// collate equal keep their order) and, when headings is not null, each
// title's letter heading (collation/title_order.hpp). False when ICU has no
// Vietnamese collation. Throws std::bad_alloc only.
using TitleSorter = bool (*)(const std::vector<std::string>& titles,
                             std::vector<std::size_t>& order, std::vector<std::string>* headings);

struct SongbookModule {
    TitleSorter sortTitles;
    // The book as a PDF (songbook/module/book_pdf.hpp). Never throws.
    BookPdf (*renderPdf)(const Book& book, Paper paper) noexcept;
};

// The module's one exported function, extern "C": its functions.
inline constexpr const char* kSongbookModuleEntry = "kdb2mid_songbook_module";
// Its file name, beside the executable in the build tree and in
// KDB2MID_MODULE_DIR (relative to the executable's folder) once installed.
inline constexpr const char* kSongbookModuleFile = "kdb2mid-songbook.so";

// The module, loaded on first use; nullptr (and why in failure) when it
// cannot be loaded.
const SongbookModule* songbookModule(std::string& failure);

}  // namespace kdb2mid
