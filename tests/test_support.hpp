// Helpers shared by the tests: byte literals, scratch folders, running the tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace kdb2mid::test {

// The small soundfont scripts/ensure-deps.sh installs (6 MB): the audio tests
// render with it, quickly, whatever Debian's default soundfont is.
inline const std::filesystem::path kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::initializer_list<int> values);
Bytes concat(std::initializer_list<Bytes> parts);

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> files() const;

private:
    std::filesystem::path path_;
};

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the kdb2mid executable with args (each quoted for the shell) in folder.
RunResult runTool(const std::filesystem::path& folder, const std::vector<std::string>& args);

// The project's source folder and its bundled sample database.
std::filesystem::path sourceDir();
std::filesystem::path sampleDatabaseDir();

}  // namespace kdb2mid::test
