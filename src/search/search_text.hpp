// Song names and titles folded for searching: what a person types on a
// keyboard without Vietnamese marks ("trong com") must find what the database
// spells with them ("TRỐNG CƠM").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kdb2mid {

// Folds UTF-8 text to the form search compares: lower case, every Latin letter
// without its marks (ă â -> a, ê é -> e, ô ơ -> o, ư -> u, đ -> d, ß -> ss,
// combining marks dropped), and every run of characters that are neither
// letter nor digit, malformed UTF-8 and U+FFFD included, one space; no space
// at either end. Letters of other scripts are kept as they are. Never reads
// outside text.
std::string foldForSearch(std::string_view utf8);

// The same, appended to out (a space first when out is not empty and the
// text holds a word), for callers that fold many texts into one buffer.
void appendFolded(std::string_view utf8, std::string& out);

// The words of folded text, as views into it.
std::vector<std::string_view> foldedWords(std::string_view folded);

}  // namespace kdb2mid
