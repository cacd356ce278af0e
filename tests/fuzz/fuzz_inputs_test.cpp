// Every committed fuzz input, seeds and regressions alike, replayed through
// the same target function the fuzzers run. A target aborts on a broken
// promise, naming the check and the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_targets.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    void (*run)(fuzz::Input);
};

const Target kTargets[] = {
    {"record", fuzz::fuzzRecord},
    {"song_files", fuzz::fuzzSongFiles},
    {"convert_song", fuzz::fuzzConvertSong},
    {"song_names", fuzz::fuzzSongNames},
    {"search_cache", fuzz::fuzzSearchCache},
#ifdef KDB2MID_HAVE_SERVE
    {"serve_router", fuzz::fuzzServeRouter},
    {"night_file", fuzz::fuzzNightFile},
#endif
};

void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

std::vector<fs::path> filesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    if (!fs::is_directory(folder)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::size_t replay(const Target& target, const fs::path& folder) {
    const std::vector<fs::path> files = filesUnder(folder);
    for (const fs::path& file : files) {
        const test::Bytes read = sample::readFile(file);
        // Exactly as large as the input, so that a read past its end is
        // caught by a sanitizer or valgrind.
        const test::Bytes input(read.begin(), read.end());
        fuzz::setInputName(file.string());
        target.run(input);
    }
    fuzz::setInputName({});
    return files.size();
}

class FuzzInputs : public testing::TestWithParam<Target> {};

TEST_P(FuzzInputs, SeedCorpusPassesEveryCheck) {
    EXPECT_GT(replay(GetParam(), test::sourceDir() / "fuzz" / "corpus" / GetParam().name), 0U);
}

TEST_P(FuzzInputs, RegressionInputsPassEveryCheck) {
    replay(GetParam(), test::sourceDir() / "fuzz" / "regressions" / GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputs, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace kdb2mid
