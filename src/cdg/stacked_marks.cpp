#include "cdg/stacked_marks.hpp"

#include <algorithm>
#include <iterator>

namespace kdb2mid::cdg {

namespace {

// By code point: lower-case a, e and o with a circumflex alone, and A, E
// and O with a tilde over a circumflex or breve.
constexpr StackedMarks kLetters[] = {
    {0x00E2, 0x0061, 0x0302, 0},  // â
    {0x00EA, 0x0065, 0x0302, 0},  // ê
    {0x00F4, 0x006F, 0x0302, 0},  // ô
    {0x1EAA, 0x0041, 0x0302, 0x0303},  // Ẫ
    {0x1EAB, 0x0061, 0x0302, 0x0303},  // ẫ
    {0x1EB4, 0x0041, 0x0306, 0x0303},  // Ẵ
    {0x1EB5, 0x0061, 0x0306, 0x0303},  // ẵ
    {0x1EC4, 0x0045, 0x0302, 0x0303},  // Ễ
    {0x1EC5, 0x0065, 0x0302, 0x0303},  // ễ
    {0x1ED6, 0x004F, 0x0302, 0x0303},  // Ỗ
    {0x1ED7, 0x006F, 0x0302, 0x0303},  // ỗ
};

}  // namespace

const StackedMarks* stackedMarks(char32_t letter) noexcept {
    const auto before = [](const StackedMarks& entry, char32_t key) { return entry.letter < key; };
    const auto* found = std::lower_bound(std::begin(kLetters), std::end(kLetters), letter, before);
    return found != std::end(kLetters) && found->letter == letter ? found : nullptr;
}

}  // namespace kdb2mid::cdg
