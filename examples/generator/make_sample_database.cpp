// make_sample_database OUTDIR: writes the bundled sample database (SONG.IDX,
// SONG.DAT, CRS&TCK.IDX, CHORUS.DAT) into OUTDIR. The output depends on
// nothing but this program, so examples/sample-db/ can be checked against it.
#include <cstdio>
#include <exception>

#include "generator/database_writer.hpp"
#include "generator/sample_songs.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_database OUTDIR\n");
        return 2;
    }
    try {
        kdb2mid::sample::writeDatabase(kdb2mid::sample::buildSampleDatabase(), argv[1]);
    } catch (const std::exception& error) {
        std::printf("make_sample_database: %s\n", error.what());
        return 1;
    }
    return 0;
}
