// Vietnamese letters with a tilde stacked over a circumflex or breve (ẫ, ễ,
// ỗ, ẵ). At a screen's few pixels the font's own ẫ squeezes its two marks
// into one blob that readers (and OCR) take for an acute; the CD+G font
// draws these letters from the plain letter and the two marks instead.
#pragma once

namespace kdb2mid::cdg {

struct StackedMarks {
    char32_t letter;     // the precomposed letter
    char32_t plain;      // the letter without marks
    char32_t lowerMark;  // the combining circumflex (U+0302) or breve (U+0306)
    char32_t toneMark;   // the combining tilde (U+0303)
};

// The parts of letter, or nullptr for a letter drawn as the font has it.
const StackedMarks* stackedMarks(char32_t letter) noexcept;

}  // namespace kdb2mid::cdg
