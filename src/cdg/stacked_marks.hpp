// Vietnamese letters whose marks the CD+G font draws itself. At a screen's
// few pixels the font's own ẫ (ễ, ỗ, ẵ) squeezes its tilde and circumflex
// into one blob that readers (and OCR) take for an acute, and the one-bit
// circumflex of â, ê and ô is two rows that read as a diaeresis. These are
// drawn as the plain letter with larger marks over it, apart from it.
#pragma once

namespace kdb2mid::cdg {

struct StackedMarks {
    char32_t letter;     // the precomposed letter
    char32_t plain;      // the letter without marks
    char32_t lowerMark;  // the combining circumflex (U+0302) or breve (U+0306)
    char32_t toneMark;   // the combining tilde (U+0303); 0 for a circumflex alone
};

// The parts of letter, or nullptr for a letter drawn as the font has it.
const StackedMarks* stackedMarks(char32_t letter) noexcept;

}  // namespace kdb2mid::cdg
