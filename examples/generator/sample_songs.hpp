// The bundled sample database: five short songs numbered from 50001 on (the
// numbers below them have no record), one of them with two chorus recordings.
// Everything is built from constants, so the files come out the same bytes on
// every run and machine.
#pragma once

#include <cstdint>
#include <vector>

#include "generator/database_writer.hpp"

namespace kdb2mid::sample {

struct SampleSong {
    std::int32_t number;
    SongSpec spec;
};

inline constexpr std::int32_t kFirstSampleSong = 50001;

// 50001 Twinkle, Twinkle, Little Star; 50002 Ode to Joy; 50003 Frère Jacques;
// 50004 Trống Cơm (two chorus recordings); 50005 Bèo Dạt Mây Trôi.
std::vector<SampleSong> sampleSongs();

// The whole database, ready for writeDatabase.
Database buildSampleDatabase();

}  // namespace kdb2mid::sample
