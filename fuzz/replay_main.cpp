// Runs a fuzz target over saved inputs without libFuzzer, so a crash found by
// fuzzing reproduces under a plain build, a debugger or valgrind:
//   kdb2mid_replay_<target> FILE_OR_FOLDER...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsUnder(const fs::path& path) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(path)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else {
        inputs.push_back(path);
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int arg = 1; arg < argc; ++arg) {
        for (const fs::path& input : inputsUnder(argv[arg])) {
            std::ifstream in(input, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
                return 1;
            }
            const std::vector<char> read(std::istreambuf_iterator<char>(in), {});
            // Exactly as large as the input, so that a read past its end is
            // caught by a sanitizer or valgrind, as under libFuzzer.
            const std::vector<std::uint8_t> bytes(read.begin(), read.end());
            kdb2mid::fuzz::setInputName(input.string());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
