// The committed sample names and older database are what the generator makes.
#include "generator/sample_names.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

TEST(SampleNames, GeneratorWritesTheSameBytes) {
    test::TempDir dir;
    sample::writeSampleNamesAndLegacy(dir.path());
    // name.idx runs through the entry of song 51895, where the last name ends.
    EXPECT_EQ(std::filesystem::file_size(dir / "sample-db/name.idx"), 123224u);
    for (const char* file : {"sample-db/name.idx", "sample-db/name.tab", "legacy-db/9703/song.idx",
                             "legacy-db/9703/song.dat"}) {
        EXPECT_EQ(sample::readFile(dir / file), sample::readFile(test::sourceDir() / "examples" / file))
            << file;
    }
}

}  // namespace
}  // namespace kdb2mid
