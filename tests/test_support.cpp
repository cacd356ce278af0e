#include "test_support.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <sys/wait.h>

namespace kdb2mid::test {

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int value : values) out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("kdb2mid-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

RunResult runTool(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    TempDir capture;
    std::string command = "cd ";
    command += quote(folder.string());
    command += " && ";
    command += quote(KDB2MID_BINARY);
    for (const std::string& arg : args) {
        command += ' ';
        command += quote(arg);
    }
    command += " >";
    command += quote((capture / "out").string());
    command += " 2>";
    command += quote((capture / "err").string());
    command += " </dev/null";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(capture / "out");
    result.err = slurp(capture / "err");
    return result;
}

std::filesystem::path sourceDir() { return KDB2MID_SOURCE_DIR; }
std::filesystem::path sampleDatabaseDir() { return sourceDir() / "examples" / "sample-db"; }

}  // namespace kdb2mid::test
