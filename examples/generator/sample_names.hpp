// The song names and the older database of the bundled samples, built the
// same way every time: examples/sample-db/name.idx + name.tab and
// examples/legacy-db/9703/song.idx + song.dat.
#pragma once

#include <filesystem>

#include "generator/database_writer.hpp"

namespace kdb2mid::sample {

struct NameFiles {
    Bytes index;  // name.idx: entries for songs 21090 to 51895
    Bytes table;  // name.tab
};

// Names for songs 50001 to 50005 (the sample songs), none for 50006, empty
// names for the rest of the listed range.
NameFiles buildSampleNames();

struct LegacyFiles {
    Bytes index;  // song.idx: entries for songs 21090 to 50003
    Bytes data;   // song.dat: the records of songs 50001 and 50002
};

LegacyFiles buildSampleLegacyDatabase();

// Writes both into examplesDir/sample-db and examplesDir/legacy-db/9703.
void writeSampleNamesAndLegacy(const std::filesystem::path& examplesDir);

}  // namespace kdb2mid::sample
