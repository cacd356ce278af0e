#include "messages/songbook_messages.hpp"

namespace kdb2mid {

std::string bookSongCount(std::size_t songs) {
    // Thousands set apart by commas, as the book's other numbers are read.
    const std::string digits = std::to_string(songs);
    std::string shown;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) shown += ',';
        shown += digits[i];
    }
    shown += songs == 1 ? " song" : " songs";
    return shown;
}

std::string bookModuleMissing(const std::string& why) {
    return "Cannot make the song book: " + why;
}

std::string bookPdfFailed(const std::string& reason) {
    return "Cannot make the PDF: " + reason;
}

std::string bookFormatUnknown(const std::string& output) {
    return "cannot tell the book's format from " + output +
           ": end it in .pdf or .html, or give --format pdf|html";
}

}  // namespace kdb2mid
