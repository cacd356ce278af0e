#include "search/search_text.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

// What each code point folds to, one character per code point:
//   a-z 0-9  that letter or digit (the base letter of a letter with marks)
//   '.'      no letter or digit: separates words
//   '*'      a letter kept as it is (no Latin base letter: ə, ʒ, ...)
//   '#'      a letter that folds to two letters (kTwoLetterFolds)
// Made from the Unicode character data: the first letter of each character's
// canonical decomposition, or the letter its name is built on (Đ "D WITH
// STROKE", Ø "O WITH STROKE", which do not decompose).
constexpr char kSeparator = '.';
constexpr char kKeep = '*';
constexpr char kTwoLetters = '#';

// U+0080 to U+024F: Latin-1 Supplement, Latin Extended-A and -B.
constexpr char32_t kLatinFirst = 0x80;
constexpr std::string_view kLatin =
    "................................"  // U+0080
    "..........*..........*....*....."  // U+00A0
    "aaaaaa#ceeeeiiiidnooooo.ouuuuy##"  // U+00C0
    "aaaaaa#ceeeeiiiidnooooo.ouuuuy#y"  // U+00E0
    "aaaaaaccccccccddddeeeeeeeeeegggg"  // U+0100
    "gggghhhhiiiiiiiiii##jjkkqlllllll"  // U+0120
    "lllnnnnnn*##oooooo##rrrrrrssssss"  // U+0140
    "ssttttttuuuuuuuuuuuuwwyyyzzzzzzs"  // U+0160
    "bbbb***cc*ddd****ffg***ikkl**nno"  // U+0180
    "oo**pp*****ttttuu*vyyzz*********"  // U+01A0
    "****#########aaiioouuuuuuuuuu*aa"  // U+01C0
    "aa##ggggkkoooo**j###gg**nnaa##oo"  // U+01E0
    "aaaaeeeeiiiioooorrrruuuusstt**hh"  // U+0200
    "nd**zzaaeeooooooooyylnt***acclts"  // U+0220
    "z**b**eejj*qrryy";  // U+0240
static_assert(kLatin.size() == 0x250 - 0x80);

// U+1E00 to U+1EFF: Latin Extended Additional, which holds most Vietnamese
// letters with a tone mark (U+1EA0 on).
constexpr char32_t kAdditionalFirst = 0x1E00;
constexpr std::string_view kAdditional =
    "aabbbbbbccddddddddddeeeeeeeeeeff"  // U+1E00
    "gghhhhhhhhhhiiiikkkkkkllllllllmm"  // U+1E20
    "mmmmnnnnnnnnoooooooopppprrrrrrrr"  // U+1E40
    "ssssssssssttttttttuuuuuuuuuuvvvv"  // U+1E60
    "wwwwwwwwwwxxxxyyzzzzzzhtwyas**#*"  // U+1E80
    "aaaaaaaaaaaaaaaaaaaaaaaaeeeeeeee"  // U+1EA0
    "eeeeeeeeiiiioooooooooooooooooooo"  // U+1EC0
    "oooouuuuuuuuuuuuuuyyyyyyyy****yy";  // U+1EE0
static_assert(kAdditional.size() == 0x100);

struct TwoLetterFold {
    char32_t codePoint;
    char letters[3];
};
constexpr TwoLetterFold kTwoLetterFolds[] = {
    {0x00C6, "ae"}, {0x00DE, "th"}, {0x00DF, "ss"}, {0x00E6, "ae"}, {0x00FE, "th"},
    {0x0132, "ij"}, {0x0133, "ij"}, {0x014A, "ng"}, {0x014B, "ng"}, {0x0152, "oe"},
    {0x0153, "oe"}, {0x01C4, "dz"}, {0x01C5, "dz"}, {0x01C6, "dz"}, {0x01C7, "lj"},
    {0x01C8, "lj"}, {0x01C9, "lj"}, {0x01CA, "nj"}, {0x01CB, "nj"}, {0x01CC, "nj"},
    {0x01E2, "ae"}, {0x01E3, "ae"}, {0x01F1, "dz"}, {0x01F2, "dz"}, {0x01F3, "dz"},
    {0x01FC, "ae"}, {0x01FD, "ae"}, {0x1E9E, "ss"},
};

// ASCII: letters lower-cased, digits kept, everything else a separator.
constexpr std::array<char, 128> kAsciiFolds = [] {
    std::array<char, 128> folds{};
    for (std::size_t c = 0; c < folds.size(); ++c) {
        folds[c] = kSeparator;
        if (c >= '0' && c <= '9') folds[c] = static_cast<char>(c);
        if (c >= 'a' && c <= 'z') folds[c] = static_cast<char>(c);
        if (c >= 'A' && c <= 'Z') folds[c] = static_cast<char>(c - 'A' + 'a');
    }
    return folds;
}();

// Combining marks (a decomposed "é" is "e" + U+0301, as macOS and some phone
// keyboards type it) and variation selectors: dropped, the letter goes on.
bool isMark(char32_t codePoint) {
    return (codePoint >= 0x0300 && codePoint <= 0x036F) ||
           (codePoint >= 0x1AB0 && codePoint <= 0x1AFF) ||
           (codePoint >= 0x1DC0 && codePoint <= 0x1DFF) ||
           (codePoint >= 0x20D0 && codePoint <= 0x20FF) ||
           (codePoint >= 0xFE00 && codePoint <= 0xFE0F) ||
           (codePoint >= 0xFE20 && codePoint <= 0xFE2F);
}

// Punctuation and symbols outside the tables above that stored text decodes
// to (Windows-1252's quotes, dashes, €, ™, ˆ, ˜) or that a query may hold.
bool isSeparator(char32_t codePoint) {
    return (codePoint >= 0x02B0 && codePoint <= 0x02FF) ||  // spacing modifiers: ˆ ˜
           (codePoint >= 0x2000 && codePoint <= 0x2BFF) ||  // punctuation, symbols, arrows
           (codePoint >= 0x3000 && codePoint <= 0x303F) ||  // CJK punctuation
           (codePoint >= 0xFF00 && codePoint <= 0xFF0F) ||  // full-width punctuation
           codePoint == 0xFEFF || codePoint == kReplacementCharacter;
}

char tableFold(char32_t codePoint) {
    if (codePoint < 0x80) return kAsciiFolds[codePoint];
    if (codePoint < 0x250) return kLatin[codePoint - kLatinFirst];
    if (codePoint >= kAdditionalFirst && codePoint < kAdditionalFirst + 0x100) {
        return kAdditional[codePoint - kAdditionalFirst];
    }
    if (isSeparator(codePoint)) return kSeparator;
    return kKeep;
}

const char* twoLetterFold(char32_t codePoint) {
    for (const TwoLetterFold& fold : kTwoLetterFolds) {
        if (fold.codePoint == codePoint) return fold.letters;
    }
    return "";
}

}  // namespace

void appendFolded(std::string_view utf8, std::string& out) {
    bool inWord = false;
    const auto startLetter = [&] {
        if (!inWord && !out.empty()) out += ' ';
        inWord = true;
    };
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            const char fold = kAsciiFolds[byte];
            if (fold == kSeparator) {
                inWord = false;
            } else {
                startLetter();
                out += fold;
            }
            ++pos;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(utf8, pos, codePoint);
        if (length == 0) {
            inWord = false;
            ++pos;
            continue;
        }
        const std::string_view character = utf8.substr(pos, length);
        pos += length;
        if (isMark(codePoint)) continue;
        const char fold = tableFold(codePoint);
        if (fold == kSeparator) {
            inWord = false;
            continue;
        }
        startLetter();
        if (fold == kKeep) {
            out.append(character);
        } else if (fold == kTwoLetters) {
            out += twoLetterFold(codePoint);
        } else {
            out += fold;
        }
    }
}

std::string foldForSearch(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendFolded(utf8, out);
    return out;
}

std::vector<std::string_view> foldedWords(std::string_view folded) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < folded.size()) {
        const std::size_t end = std::min(folded.find(' ', pos), folded.size());
        if (end > pos) words.push_back(folded.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

}  // namespace kdb2mid
