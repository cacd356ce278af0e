// Writes the sample song names (examples/sample-db/name.idx, name.tab) and the
// sample older database (examples/legacy-db/9703/song.idx, song.dat).
//
//   make_sample_names EXAMPLES_DIR
#include <cstdio>
#include <exception>

#include "generator/sample_names.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_names EXAMPLES_DIR\n");
        return 2;
    }
    try {
        kdb2mid::sample::writeSampleNamesAndLegacy(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample_names: %s\n", error.what());
        return 1;
    }
    return 0;
}
