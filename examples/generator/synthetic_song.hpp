// Songs made up from a seed, shaped like real karaoke MIDI data: a conductor
// track, melody, bass, chords and drums built from repeated phrases with
// variations, and a lyric block with one line per phrase. For benchmarks,
// fuzz seeds and large test databases; the same seed always gives the same song.
#pragma once

#include <cstdint>

#include "generator/database_writer.hpp"

namespace kdb2mid::sample {

// targetImageBytes steers the song's length; the decoded image comes out
// within a few percent of it.
SongSpec syntheticSong(std::uint32_t seed, std::size_t targetImageBytes);

}  // namespace kdb2mid::sample
