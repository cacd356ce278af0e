// make_large_database OUTDIR [SONGS]: writes a database of SONGS (default
// 20000) synthetic songs numbered from 21090, records of about 5 to 60 KB.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "generator/synthetic_song.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_large_database OUTDIR [SONGS]\n");
        return 2;
    }
    try {
        const long songs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 20000;
        kdb2mid::sample::Database database;
        for (long i = 0; i < songs; ++i) {
            const auto seed = static_cast<std::uint32_t>(i + 1);
            // The encoder packs these songs to 0.41 (short ones) down to 0.34
            // (long ones) of their image: images of 12 to 177 KB give records
            // of about 5 to 60 KB.
            const std::size_t target = 12000 + (seed * 7919U) % 165000;
            database.records.push_back(
                kdb2mid::sample::buildRecord(kdb2mid::sample::syntheticSong(seed, target)));
        }
        kdb2mid::sample::writeDatabase(database, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_large_database: %s\n", error.what());
        return 1;
    }
    return 0;
}
