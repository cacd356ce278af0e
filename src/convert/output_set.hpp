// Which of a song's outputs a conversion writes. Each output is one row of the
// table in convert/outputs.hpp; Output names the rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kdb2mid {

enum class Output : std::uint8_t {
    midi,       // SONG.mid, written for every song
    karaoke,    // SONG.kar
    lrc,        // SONG.lrc
    ass,        // SONG.ass
    audio,      // SONG.<format>
    ultrastar,  // SONG/SONG.txt and its audio
    video,      // SONG.mp4
    cdg,        // SONG.cdg beside SONG.mp3 (MP3+G)
    cdgZip,     // SONG.zip holding SONG.cdg and SONG.mp3
    stems,      // SONG.instrumental.<format> and SONG.guide.<format>; two sound tracks in SONG.mp4
};

// As many outputs as a set holds.
inline constexpr std::size_t kMaxOutputs = 32;

// Seconds of sound or pictures made, per output that counts them (the
// progress line's pace, OutputRow::progressUnit), indexed by Output.
using SecondsMade = std::array<double, kMaxOutputs>;

constexpr std::size_t outputIndex(Output output) noexcept {
    return static_cast<std::size_t>(output);
}

// A set of outputs, small enough to copy.
class OutputSet {
public:
    constexpr OutputSet() = default;
    constexpr bool has(Output output) const noexcept { return (bits_ & bit(output)) != 0; }
    constexpr void add(Output output) noexcept { bits_ |= bit(output); }
    constexpr void remove(Output output) noexcept { bits_ &= ~bit(output); }
    constexpr bool operator==(const OutputSet&) const = default;

private:
    static constexpr std::uint32_t bit(Output output) noexcept {
        return std::uint32_t{1} << static_cast<unsigned>(output);
    }
    std::uint32_t bits_ = 0;
};

}  // namespace kdb2mid
