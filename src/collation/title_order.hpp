// Song titles in Vietnamese alphabetical order: a ă â b c d đ e ê g h i k l
// m n o ô ơ p q r s t u ư v x y, tone marks ordering words that are otherwise
// equal. Byte order or English order would scatter ă â after z and đ after
// every Latin letter; ICU's collation for "vi" knows the alphabet.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kdb2mid {

class TitleCollator {
public:
    // Nothing when ICU cannot open its collation for Vietnamese (its data
    // missing) or memory is short.
    static std::unique_ptr<TitleCollator> create() noexcept;
    ~TitleCollator();
    TitleCollator(const TitleCollator&) = delete;
    TitleCollator& operator=(const TitleCollator&) = delete;

    // Bytes whose plain byte order is the titles' alphabetical order.
    // Malformed UTF-8 counts as U+FFFD. Throws std::bad_alloc only.
    std::string sortKey(std::string_view utf8) const;

private:
    struct Impl;
    explicit TitleCollator(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The positions of titles in alphabetical order; titles that collate equal
// keep the order they were given in (a song list's: by number).
std::vector<std::size_t> alphabeticalOrder(const TitleCollator& collator,
                                           const std::vector<std::string>& titles);

// alphabeticalOrder of titles with a collator of its own, and each title's
// letterHeading when headings is not null: the song book module's sorter.
// False when TitleCollator::create() fails. Throws std::bad_alloc only.
bool sortTitles(const std::vector<std::string>& titles, std::vector<std::size_t>& order,
                std::vector<std::string>* headings);

// The letter a title is filed under in a printed book: its first letter in
// upper case without tone marks but with the marks that make a letter of its
// own (Ă Â Đ Ê Ô Ơ Ư), "#" for a title that starts with no letter. Titles in
// alphabetical order meet each heading once.
std::string letterHeading(std::string_view utf8);

}  // namespace kdb2mid
