#include "format/vni_text.hpp"

#include <array>
#include <cstddef>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

// Letters that take a modifier byte after them, upper case: the five ASCII
// vowels that carry marks, then Ơ (D4) and Ư (D6), which are letters of their
// own and still take a tone. Lower-case bases are the ASCII letters + 0x20
// and F4 / F6.
constexpr std::size_t kBaseCount = 7;
constexpr std::uint8_t kUpperBases[kBaseCount] = {'A', 'E', 'O', 'U', 'Y', 0xD4, 0xD6};
constexpr std::uint8_t kLowerBases[kBaseCount] = {'a', 'e', 'o', 'u', 'y', 0xF4, 0xF6};

// Modifier bytes after an upper-case base; after a lower-case base the same
// value + 0x20.
constexpr std::size_t kModifierCount = 17;
constexpr std::uint8_t kUpperModifiers[kModifierCount] = {
    0xD9, 0xD8, 0xDB, 0xD5, 0xCF,              // acute grave hook tilde dot
    0xC2, 0xC1, 0xC0, 0xC5, 0xC3, 0xC4,        // circumflex, and with acute grave hook tilde dot
    0xCA, 0xC9, 0xC8, 0xDA, 0xDC, 0xCB,        // breve, and with acute grave hook tilde dot
};
constexpr std::uint8_t kCaseOffset = 0x20;

// The upper-case letter each base and modifier make, 0 where the pair is no
// letter (the modifier then stands for its own character).
constexpr char32_t kUpperLetters[kBaseCount][kModifierCount] = {
    // A
    {0x00C1, 0x00C0, 0x1EA2, 0x00C3, 0x1EA0, 0x00C2, 0x1EA4, 0x1EA6, 0x1EA8, 0x1EAA, 0x1EAC,
     0x0102, 0x1EAE, 0x1EB0, 0x1EB2, 0x1EB4, 0x1EB6},
    // E
    {0x00C9, 0x00C8, 0x1EBA, 0x1EBC, 0x1EB8, 0x00CA, 0x1EBE, 0x1EC0, 0x1EC2, 0x1EC4, 0x1EC6},
    // O
    {0x00D3, 0x00D2, 0x1ECE, 0x00D5, 0x1ECC, 0x00D4, 0x1ED0, 0x1ED2, 0x1ED4, 0x1ED6, 0x1ED8},
    // U
    {0x00DA, 0x00D9, 0x1EE6, 0x0168, 0x1EE4},
    // Y: its dot-below form is the single byte CE.
    {0x00DD, 0x1EF2, 0x1EF6, 0x1EF8},
    // Ơ
    {0x1EDA, 0x1EDC, 0x1EDE, 0x1EE0, 0x1EE2},
    // Ư
    {0x1EE8, 0x1EEA, 0x1EEC, 0x1EEE, 0x1EF0},
};

// The lower-case form of one of the upper-case letters above: the Latin-1
// letters sit 0x20 higher, every other one directly after its capital.
constexpr char32_t lowerCase(char32_t upper) {
    return upper <= 0xFF ? upper + kCaseOffset : upper + 1;
}

// Windows-1252 characters of 0x80-0x9F. The five codes it leaves unassigned
// keep their C1 control code points, as web browsers decode them.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Letters stored as one byte, upper case (lower case: byte + 0x20). I never
// takes a modifier, so its toned forms are all here, as are Đ, Ơ, Ư and Ỵ.
struct SingleLetter {
    std::uint8_t code;
    char32_t upper;
};
constexpr SingleLetter kSingleLetters[] = {
    {0xD1, 0x0110}, {0xD4, 0x01A0}, {0xD6, 0x01AF}, {0xCD, 0x00CD}, {0xCC, 0x00CC},
    {0xC6, 0x1EC8}, {0xD3, 0x0128}, {0xD2, 0x1ECA}, {0xCE, 0x1EF4},
};

struct Tables {
    // What a byte means by itself.
    std::array<char32_t, 256> single{};
    // Base slot + 1 (lower-case bases after the upper-case ones), 0 if none.
    std::array<std::uint8_t, 256> baseSlot{};
    // Modifier slot + 1 (lower-case modifiers after the upper-case ones), 0 if none.
    std::array<std::uint8_t, 256> modifierSlot{};
    // Letters indexed [base slot][modifier slot], both cases, 0 for no letter.
    std::array<std::array<char32_t, 2 * kModifierCount>, 2 * kBaseCount> letters{};
};

constexpr Tables makeTables() {
    Tables t;
    for (std::size_t code = 0; code < 256; ++code) t.single[code] = static_cast<char32_t>(code);
    for (std::size_t i = 0; i < 32; ++i) t.single[0x80 + i] = kWindows1252High[i];
    for (const SingleLetter& letter : kSingleLetters) {
        t.single[letter.code] = letter.upper;
        t.single[letter.code + kCaseOffset] = lowerCase(letter.upper);
    }
    for (std::size_t b = 0; b < kBaseCount; ++b) {
        t.baseSlot[kUpperBases[b]] = static_cast<std::uint8_t>(b + 1);
        t.baseSlot[kLowerBases[b]] = static_cast<std::uint8_t>(kBaseCount + b + 1);
    }
    for (std::size_t m = 0; m < kModifierCount; ++m) {
        t.modifierSlot[kUpperModifiers[m]] = static_cast<std::uint8_t>(m + 1);
        t.modifierSlot[kUpperModifiers[m] + kCaseOffset] =
            static_cast<std::uint8_t>(kModifierCount + m + 1);
    }
    for (std::size_t b = 0; b < kBaseCount; ++b) {
        for (std::size_t m = 0; m < kModifierCount; ++m) {
            const char32_t upper = kUpperLetters[b][m];
            if (upper == 0) continue;
            // Each case only with its own case of modifier.
            t.letters[b][m] = upper;
            t.letters[kBaseCount + b][kModifierCount + m] = lowerCase(upper);
        }
    }
    return t;
}

constexpr Tables kTables = makeTables();

// The letter base and modifier make together, or 0.
constexpr char32_t compose(std::uint8_t base, std::uint8_t modifier) {
    const std::uint8_t b = kTables.baseSlot[base];
    const std::uint8_t m = kTables.modifierSlot[modifier];
    if (b == 0 || m == 0) return 0;
    return kTables.letters[b - 1u][m - 1u];
}

}  // namespace

void appendVniAsUtf8(std::span<const std::uint8_t> text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i + 1 < text.size()) {
            if (const char32_t letter = compose(text[i], text[i + 1]); letter != 0) {
                appendUtf8(letter, out);
                ++i;
                continue;
            }
        }
        appendUtf8(kTables.single[text[i]], out);
    }
}

std::string decodeVniToUtf8(std::span<const std::uint8_t> text) {
    std::string out;
    out.reserve(text.size());
    appendVniAsUtf8(text, out);
    return out;
}

bool hasEncodedLetters(std::span<const std::uint8_t> text) noexcept {
    for (std::uint8_t byte : text) {
        if (byte > 0x7F) return true;
    }
    return false;
}

}  // namespace kdb2mid
