#include "generator/vni_encoding.hpp"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace kdb2mid::sample {

namespace {

struct Letter {
    char32_t upper;         // code point of the capital letter
    std::uint8_t bytes[2];  // its stored bytes; a second byte of 0 means none
};

// Capital letters outside ASCII. The small letter of each is stored with
// every byte above 0x40 raised by 0x20 (a base letter to lower case, a
// modifier or single-byte letter to its lower-case code).
constexpr Letter kLetters[] = {
    // A, Â, Ă: plain, acute, grave, hook above, tilde, dot below
    {0xC1, {0x41, 0xD9}}, {0xC0, {0x41, 0xD8}}, {0x1EA2, {0x41, 0xDB}}, {0xC3, {0x41, 0xD5}},
    {0x1EA0, {0x41, 0xCF}},
    {0xC2, {0x41, 0xC2}}, {0x1EA4, {0x41, 0xC1}}, {0x1EA6, {0x41, 0xC0}}, {0x1EA8, {0x41, 0xC5}},
    {0x1EAA, {0x41, 0xC3}}, {0x1EAC, {0x41, 0xC4}},
    {0x102, {0x41, 0xCA}}, {0x1EAE, {0x41, 0xC9}}, {0x1EB0, {0x41, 0xC8}}, {0x1EB2, {0x41, 0xDA}},
    {0x1EB4, {0x41, 0xDC}}, {0x1EB6, {0x41, 0xCB}},
    // E, Ê
    {0xC9, {0x45, 0xD9}}, {0xC8, {0x45, 0xD8}}, {0x1EBA, {0x45, 0xDB}}, {0x1EBC, {0x45, 0xD5}},
    {0x1EB8, {0x45, 0xCF}},
    {0xCA, {0x45, 0xC2}}, {0x1EBE, {0x45, 0xC1}}, {0x1EC0, {0x45, 0xC0}}, {0x1EC2, {0x45, 0xC5}},
    {0x1EC4, {0x45, 0xC3}}, {0x1EC6, {0x45, 0xC4}},
    // I: its toned forms are single bytes
    {0xCD, {0xCD, 0}}, {0xCC, {0xCC, 0}}, {0x1EC8, {0xC6, 0}}, {0x128, {0xD3, 0}},
    {0x1ECA, {0xD2, 0}},
    // O, Ô, Ơ
    {0xD3, {0x4F, 0xD9}}, {0xD2, {0x4F, 0xD8}}, {0x1ECE, {0x4F, 0xDB}}, {0xD5, {0x4F, 0xD5}},
    {0x1ECC, {0x4F, 0xCF}},
    {0xD4, {0x4F, 0xC2}}, {0x1ED0, {0x4F, 0xC1}}, {0x1ED2, {0x4F, 0xC0}}, {0x1ED4, {0x4F, 0xC5}},
    {0x1ED6, {0x4F, 0xC3}}, {0x1ED8, {0x4F, 0xC4}},
    {0x1A0, {0xD4, 0}}, {0x1EDA, {0xD4, 0xD9}}, {0x1EDC, {0xD4, 0xD8}}, {0x1EDE, {0xD4, 0xDB}},
    {0x1EE0, {0xD4, 0xD5}}, {0x1EE2, {0xD4, 0xCF}},
    // U, Ư
    {0xDA, {0x55, 0xD9}}, {0xD9, {0x55, 0xD8}}, {0x1EE6, {0x55, 0xDB}}, {0x168, {0x55, 0xD5}},
    {0x1EE4, {0x55, 0xCF}},
    {0x1AF, {0xD6, 0}}, {0x1EE8, {0xD6, 0xD9}}, {0x1EEA, {0xD6, 0xD8}}, {0x1EEC, {0xD6, 0xDB}},
    {0x1EEE, {0xD6, 0xD5}}, {0x1EF0, {0xD6, 0xCF}},
    // Y: its dot-below form is a single byte
    {0xDD, {0x59, 0xD9}}, {0x1EF2, {0x59, 0xD8}}, {0x1EF6, {0x59, 0xDB}}, {0x1EF8, {0x59, 0xD5}},
    {0x1EF4, {0xCE, 0}},
    // Đ
    {0x110, {0xD1, 0}},
};

// The small letter's code point: Latin-1 capitals sit 0x20 below their small
// letters, every other capital here directly below it.
constexpr char32_t lowerOf(char32_t upper) { return upper < 0x100 ? upper + 0x20 : upper + 1; }

constexpr std::uint8_t lowerByte(std::uint8_t byte) {
    return byte > 0x40 ? static_cast<std::uint8_t>(byte + 0x20) : byte;
}

char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<std::uint8_t>(text[i++]);
    if (lead < 0x80) return lead;
    std::size_t extra = 0;
    char32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        value = lead & 0x07;
    } else {
        throw std::invalid_argument("malformed UTF-8");
    }
    for (std::size_t n = 0; n < extra; ++n) {
        if (i == text.size()) throw std::invalid_argument("malformed UTF-8");
        const auto next = static_cast<std::uint8_t>(text[i++]);
        if ((next & 0xC0) != 0x80) throw std::invalid_argument("malformed UTF-8");
        value = (value << 6) | (next & 0x3F);
    }
    return value;
}

void appendLetter(std::string& out, char32_t code) {
    for (const Letter& letter : kLetters) {
        const bool upper = code == letter.upper;
        if (!upper && code != lowerOf(letter.upper)) continue;
        for (std::uint8_t byte : letter.bytes) {
            if (byte == 0) break;
            out += static_cast<char>(upper ? byte : lowerByte(byte));
        }
        return;
    }
    throw std::invalid_argument("no stored form for U+" + std::to_string(std::uint32_t{code}));
}

}  // namespace

std::string encodeVni(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t code = nextCodePoint(utf8, i);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else {
            appendLetter(out, code);
        }
    }
    return out;
}

}  // namespace kdb2mid::sample
