// What every MIDI file the converter writes looks like, checked from the
// outside: the fuzz targets hold each written file to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fuzz_targets.hpp"

namespace kdb2mid::fuzz {

enum class TextTrack : std::uint8_t {
    lyrics,   // .mid: track names (delta 0), then lyric events
    karaoke,  // .kar: the track name, then text events of at most kMaxKaraokeTextBytes
};

// Empty when file is a format 1 Standard MIDI File with division 120 whose
// track chunks are exactly the ones its header counts, with nothing after
// them, the last one a text track of the given kind closed by one end of
// track; with utf8, every text is valid UTF-8. Otherwise what is wrong.
std::string midiShapeProblem(std::span<const std::uint8_t> file, TextTrack kind, bool utf8);

// Fails the running target, naming the problem, unless file has that shape.
inline void requireMidiShape(std::span<const std::uint8_t> file, TextTrack kind, bool utf8) {
    if (const std::string problem = midiShapeProblem(file, kind, utf8); !problem.empty()) {
        fail(problem.c_str());
    }
}

// Whether bytes are well-formed UTF-8 (shortest forms, no surrogates).
bool isValidUtf8(std::span<const std::uint8_t> bytes);

}  // namespace kdb2mid::fuzz
