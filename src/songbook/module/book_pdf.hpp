// The song book as a PDF: a cover with the title and the song count, then
// each section in two columns of number (bold), title and second title, a
// large letter where the first letter changes, a running head and page
// numbers; bookmarks for every section and letter. Text is shaped by Pango
// (HarfBuzz) and drawn by Cairo, which embeds the subset of each font the
// book uses (DejaVu Sans from fontconfig).
#pragma once

#include "songbook/songbook_module.hpp"

namespace kdb2mid {

// A line too long for its column wraps, and past three lines ends in an
// ellipsis: nothing overprints. Never throws.
BookPdf renderBookPdf(const Book& book, Paper paper) noexcept;

}  // namespace kdb2mid
