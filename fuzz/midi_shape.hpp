// What every MIDI file the converter writes looks like, checked from the
// outside: the fuzz targets hold each written file to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kdb2mid::fuzz {

// Empty when file is a format 1 Standard MIDI File with division 120 whose
// track chunks are exactly the ones its header counts, with nothing after
// them, the last one a lyric track: track names (delta 0) first, then lyric
// events, then one end of track closing the chunk. Otherwise what is wrong.
std::string midiShapeProblem(std::span<const std::uint8_t> file);

}  // namespace kdb2mid::fuzz
