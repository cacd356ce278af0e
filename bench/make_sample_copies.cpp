// make_sample_copies OUTDIR [COPIES]: writes a database of the sample
// database's five songs COPIES times over (default 4), numbered from 21090
// without gaps, for timing whole-database audio rendering on real songs.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "generator/sample_songs.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sample_copies OUTDIR [COPIES]\n");
        return 2;
    }
    try {
        const long copies = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 4;
        const kdb2mid::sample::Database samples = kdb2mid::sample::buildSampleDatabase();
        kdb2mid::sample::Database database;
        database.chorusIndex = samples.chorusIndex;
        database.chorusData = samples.chorusData;
        for (long copy = 0; copy < copies; ++copy) {
            for (const kdb2mid::sample::Bytes& record : samples.records) {
                if (!record.empty()) database.records.push_back(record);
            }
        }
        kdb2mid::sample::writeDatabase(database, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample_copies: %s\n", error.what());
        return 1;
    }
    return 0;
}
