// The tool under a hostile system or a damaged database: resource limits,
// special files, huge claimed sizes, lost standard output, signals. Each case
// runs the built executable through bash, as a user's shell would.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/options_fixture.hpp"
#include "convert/batch_fixture.hpp"
#include "format/byte_order.hpp"
#include "format/database_layout.hpp"
#include "format/export_layout.hpp"
#include "generator/database_writer.hpp"
#include "generator/synthetic_song.hpp"
#include "io/file_io.hpp"
#include "test_support.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define KDB2MID_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KDB2MID_UNDER_ASAN 1
#endif
#endif

namespace kdb2mid {
namespace {

using test::Bytes;
using test::RunResult;
using test::TempDir;

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs script with bash in folder; "$KDB2MID" is the tool.
RunResult runScript(const std::filesystem::path& folder, const std::string& script) {
    TempDir capture;
    std::ofstream(capture / "script") << script << '\n';
    const std::string command = "cd '" + folder.string() + "' && KDB2MID='" KDB2MID_BINARY
                                "' bash '" + (capture / "script").string() + "' >'" +
                                (capture / "out").string() + "' 2>'" +
                                (capture / "err").string() + "' </dev/null";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(capture / "out");
    result.err = slurp(capture / "err");
    return result;
}

// The largest resident memory, in KiB, of script run with bash in folder
// (the shell and the tool it ran).
long peakMemory(const std::filesystem::path& folder, const std::string& script) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) == 0 && ::setenv("KDB2MID", KDB2MID_BINARY, 1) == 0) {
            ::execl("/bin/bash", "bash", "-c", script.c_str(), static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

// A limit on virtual memory: meaningless under AddressSanitizer, whose shadow
// memory alone is terabytes of address space.
bool canLimitMemory() {
#ifdef KDB2MID_UNDER_ASAN
    return false;
#else
    return true;
#endif
}

void copyDatabase(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        std::filesystem::copy_file(entry.path(), to / entry.path().filename());
    }
}

std::vector<std::string> temporaries(const TempDir& folder) {
    std::vector<std::string> found;
    for (const std::string& name : folder.files()) {
        if (name.find(".tmp") != std::string::npos) found.push_back(name);
    }
    return found;
}

void setEntry(const std::filesystem::path& index, std::uint64_t offset, std::uint32_t value) {
    Bytes bytes = sample::readFile(index);
    if (bytes.size() < offset + 4) bytes.resize(offset + 4);
    Bytes entry;
    appendBigEndian32(entry, value);
    std::copy(entry.begin(), entry.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    sample::writeFile(index, bytes);
}

TEST(Hardening, FileSizeLimitFailsTheFileNotTheRun) {
    TempDir db;
    TempDir out;
    sample::Database contents = test::fixtureDatabase();
    // Recordings of 128 KiB, past a limit of 50 KiB.
    contents.chorusIndex = {{99, 0, 0}, {7, 0, 64}, {8, 0, 64}};
    contents.chorusData.assign(64 * kChorusDataUnit, 0x55);
    sample::writeDatabase(contents, db.path());
    const RunResult run = runScript(
        db.path(), "ulimit -f 50; \"$KDB2MID\" convert --all -j1 -o '" + out.path().string() + "'");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.out.find("21090_7.mp3: File too large"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("21090_8.mp3: File too large"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 converted, 0 skipped, 2 failed"), std::string::npos) << run.out;
    EXPECT_TRUE(temporaries(out).empty());
}

TEST(Hardening, SpecialFilesAreRefusedWithoutBlocking) {
    struct Case {
        const char* file;
        const char* command;
        const char* line;
    };
    const Case cases[] = {
        {"SONG.IDX", "\"$KDB2MID\" list", "Cannot open SONG.IDX: not a regular file"},
        {"SONG.DAT", "\"$KDB2MID\" info 50001", "Cannot open SONG.DAT: not a regular file"},
        {"SONG.DAT", "\"$KDB2MID\" 50001", "Cannot open SONG.DAT: not a regular file"},
        {"SONG.DAT", "\"$KDB2MID\" convert --all -o out", "Cannot open SONG.DAT: not a regular file"},
        {"CHORUS.DAT", "\"$KDB2MID\" convert --all -o out", "CHORUS.DAT is not a regular file"},
        {"CRS&TCK.IDX", "\"$KDB2MID\" chorus-index", "Cannot open CRS&TCK.IDX: not a regular file"},
        {"name.tab", "\"$KDB2MID\" list", "Cannot open name.tab: not a regular file"},
        {"name.idx", "\"$KDB2MID\" list", "Cannot open name.idx: not a regular file"},
        {"name.tab", "\"$KDB2MID\" names", "Cannot open name.tab: not a regular file"},
        {"name.idx", "\"$KDB2MID\" names", "Cannot open name.idx: not a regular file"},
    };
    for (const Case& c : cases) {
        TempDir db;
        copyDatabase(test::sampleDatabaseDir(), db.path());
        std::filesystem::remove(db / c.file);
        ASSERT_EQ(::mkfifo((db / c.file).c_str(), 0600), 0);
        const RunResult run = runScript(db.path(), std::string("timeout 20 ") + c.command);
        EXPECT_EQ(run.exitCode, 1) << c.file << ": " << c.command;
        EXPECT_NE((run.out + run.err).find(c.line), std::string::npos)
            << c.command << "\n" << run.out << run.err;
    }
    // A folder in a file's place is refused the same way.
    TempDir db;
    copyDatabase(test::sampleDatabaseDir(), db.path());
    std::filesystem::remove(db / "SONG.DAT");
    std::filesystem::create_directory(db / "SONG.DAT");
    EXPECT_EQ(runScript(db.path(), "\"$KDB2MID\" info 50001").err,
              "kdb2mid: Cannot open SONG.DAT: not a regular file\n");
}

TEST(Hardening, RecordLargerThanAnySongIsRefusedUnread) {
    TempDir db;
    sample::writeDatabase(test::fixtureDatabase(), db.path());
    // Song 21093 claims 4 GiB in a 5 GiB SONG.DAT that holds almost nothing.
    std::filesystem::resize_file(db / "SONG.DAT", std::uint64_t{5} << 30);
    setEntry(db / "SONG.IDX", 3 * kIndexEntrySize, 0);
    setEntry(db / "SONG.IDX", 4 * kIndexEntrySize, 0x10000000);
    const std::string limit = canLimitMemory() ? "ulimit -v 1000000; " : "";
    const std::string why = "song 21093: its record is larger than any song can be (over 64 MiB)\n";
    const struct {
        const char* command;
        std::string out;
    } cases[] = {
        {"\"$KDB2MID\" 21093", "Cannot convert " + why},
        {"\"$KDB2MID\" info 21093", "Cannot read " + why},
        {"\"$KDB2MID\" convert -j2 21093 21090 -o out", "Cannot convert " + why},
    };
    for (const auto& c : cases) {
        const RunResult run = runScript(db.path(), limit + c.command);
        EXPECT_EQ(run.exitCode, 1) << c.command;
        // info reports on standard error, behind the program's name.
        const std::string said = run.out.empty() ? run.err : run.out;
        const std::string line = said.rfind("kdb2mid: ", 0) == 0 ? said.substr(9) : said;
        EXPECT_EQ(line.substr(0, c.out.size()), c.out) << c.command << "\n" << run.out << run.err;
    }
    EXPECT_TRUE(std::filesystem::exists(db / "out" / "21090.mid"));
}

TEST(Hardening, OutOfMemoryNamesTheSong) {
    if (!canLimitMemory()) GTEST_SKIP() << "no memory limit under AddressSanitizer";
    TempDir db;
    sample::writeDatabase(test::fixtureDatabase(), db.path());
    // A 60 MiB record, within the bound, that a 50 MiB address space cannot hold.
    const std::uint64_t end = std::filesystem::file_size(db / "SONG.DAT") + (std::uint64_t{60} << 20);
    std::filesystem::resize_file(db / "SONG.DAT", end);
    setEntry(db / "SONG.IDX", 4 * kIndexEntrySize, static_cast<std::uint32_t>(end / kSongDataUnit));
    const struct {
        const char* command;
        const char* out;
    } cases[] = {
        {"\"$KDB2MID\" 21093", "Cannot convert song 21093: out of memory\n"},
        {"\"$KDB2MID\" info 21093", "Cannot read song 21093: out of memory\n"},
    };
    for (const auto& c : cases) {
        const RunResult run = runScript(db.path(), std::string("ulimit -v 51200; ") + c.command);
        EXPECT_EQ(run.exitCode, 1) << c.command;
        const std::string said = run.out.empty() ? run.err : run.out;
        const std::string line = said.rfind("kdb2mid: ", 0) == 0 ? said.substr(9) : said;
        EXPECT_EQ(line, c.out) << c.command << "\n" << run.out << run.err;
    }
}

TEST(Hardening, OverlongNameSpansAreNotRead) {
    TempDir db;
    copyDatabase(test::sampleDatabaseDir(), db.path());
    // Song 50001's name spans 1 GiB of a sparse name.tab.
    const std::uint64_t at = std::uint64_t{kIndexEntrySize} * (kFirstListedSong - kFirstSongNumber);
    setEntry(db / "name.idx", at, 0);
    setEntry(db / "name.idx", at + kIndexEntrySize, (1U << 30) + 1);
    std::filesystem::resize_file(db / "name.tab", (std::uint64_t{1} << 30) + 4096);
    const std::string limit = canLimitMemory() ? "ulimit -v 400000; " : "";
    const RunResult list = runScript(db.path(), limit + "\"$KDB2MID\" list");
    EXPECT_EQ(list.exitCode, 0) << list.err;
    // The name is left unread, so the song is listed under its first title.
    EXPECT_EQ(list.out.substr(0, list.out.find('\n')), "50001\tTwinkle, Twinkle, Little Star")
        << list.out.substr(0, 100) << list.err;
    EXPECT_LT(list.out.size(), 4096U);
    const RunResult names = runScript(db.path(), limit + "\"$KDB2MID\" names");
    EXPECT_NE(names.out.find("Cannot export the name of song 50001: it is longer than 1024 bytes"),
              std::string::npos)
        << names.out << names.err;
    EXPECT_LT(std::filesystem::file_size(db / "Output.txt"), std::uint64_t{1} << 20);
}

TEST(Hardening, LostStandardOutputIsAFailure) {
    TempDir db;
    copyDatabase(test::sampleDatabaseDir(), db.path());
    for (const char* command : {"list", "info 50001", "convert 50001 -o out"}) {
        const RunResult run =
            runScript(db.path(), std::string("\"$KDB2MID\" ") + command + " >/dev/full");
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_EQ(run.err, "kdb2mid: write error: No space left on device\n") << command;
    }
    // A closed standard output that nothing is written to is no failure.
    EXPECT_EQ(runScript(db.path(), "\"$KDB2MID\" convert -q 50001 -o out >&-").exitCode, 0);
}

#ifdef KDB2MID_SIGNAL_SHIM
TEST(Hardening, SignalAbandonsOutputsInFlightAndEndsWithTheSummary) {
    struct Case {
        const char* what;
        const char* environment;
        int signal;
        int status;
    };
    const Case cases[] = {
        {"SIGINT, named temporaries", "KDB2MID_NO_UNNAMED_TEMP=1", 2, 130},
        {"SIGTERM, named temporaries", "KDB2MID_NO_UNNAMED_TEMP=1", 15, 143},
        {"SIGINT, unnamed temporaries", "", 2, 130},
    };
    TempDir db;
    sample::Database contents = test::fixtureDatabase();
    for (int i = 0; i < 6; ++i) contents.records.push_back(contents.records[0]);
    sample::writeDatabase(contents, db.path());
    TempDir whole;
    runScript(db.path(), "\"$KDB2MID\" convert --all -q -o '" + whole.path().string() + "'");
    for (const Case& c : cases) {
        for (const int at : {1, 5}) {
            TempDir out;
            const std::string script =
                std::string("export ASAN_OPTIONS=verify_asan_link_order=0 ") + c.environment +
                " KDB2MID_TEST_SIGNAL=" + std::to_string(c.signal) +
                " KDB2MID_TEST_SIGNAL_AT=" + std::to_string(at) +
                "\nLD_PRELOAD='" KDB2MID_SIGNAL_SHIM "' \"$KDB2MID\" convert --all -j1 -o '" +
                out.path().string() + "'";
            const RunResult run = runScript(db.path(), script);
            EXPECT_EQ(run.exitCode, c.status) << c.what << " " << at << "\n" << run.out << run.err;
            EXPECT_TRUE(temporaries(out).empty()) << c.what << " " << at;
            // The song in progress is interrupted, not failed, and --resume
            // then finishes the run: the files of one whole run, no more.
            EXPECT_NE(run.out.find(" failed, 1 interrupted\n"), std::string::npos)
                << c.what << "\n" << run.out;
            EXPECT_EQ(run.out.find("Interrupted system call"), std::string::npos) << run.out;
            // The run stopped early: the last songs were never started.
            EXPECT_FALSE(std::filesystem::exists(out / "21100.mid")) << c.what << " " << at;
            const RunResult resumed = runScript(
                db.path(), "\"$KDB2MID\" convert --all -q --resume -o '" + out.path().string() + "'");
            EXPECT_EQ(resumed.exitCode, 1) << resumed.out;  // the fixture's broken record
            EXPECT_TRUE(test::treeContents(out.path()) == test::treeContents(whole.path()))
                << c.what << " " << at;
        }
    }
}
#endif

TEST(Hardening, LaterRunRemovesOnlyDeadRunsTemporaries) {
    TempDir db;
    TempDir out;
    sample::writeDatabase(test::fixtureDatabase(), db.path());
    const std::string here = ".tmp-" + hostTag() + "-";
    ASSERT_NE(hostTag(), "");
    const std::vector<std::string> kept = {
        "21090.mid" + here + std::to_string(::getpid()) + "-0-1",  // alive
        "notes.tmp12", "song" + here + "999999999-1",              // not ours
        // Another machine's, whose processes cannot be seen from here, and
        // an older release's, which do not say whose they are.
        "21090.mid.tmp-" + hostTag() + "x-999999999-0-17", "21090.mid.tmp-other-host-999999999-0-2",
        "21090.mid.tmp999999999-0-17"};
    for (const std::string& name : kept) sample::writeFile(out / name, Bytes(3, 0));
    for (const std::string& name :
         {"21090.mid" + here + "999999999-0-17", "50001_7.mp3" + here + "999999998-3-99999"}) {
        sample::writeFile(out / name, Bytes(3, 0));
    }
    const RunResult run =
        runScript(db.path(), "\"$KDB2MID\" convert -q 21093 -o '" + out.path().string() + "'");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    std::vector<std::string> left = temporaries(out);
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST(Hardening, BatchOverEverySongKeepsItsMemoryWhateverTheIndexSize) {
    // Sparse indexes of 128 Ki and 2 Mi songs, none with a record.
    TempDir small;
    TempDir large;
    for (const auto& [db, size] : {std::pair{&small, 512U << 10}, std::pair{&large, 8U << 20}}) {
        sample::writeFile(*db / "SONG.DAT", {});
        sample::writeFile(*db / "SONG.IDX", {});
        std::filesystem::resize_file(*db / "SONG.IDX", size);
    }
    // AddressSanitizer's quarantine keeps freed memory (256 MiB by default).
    const std::string run =
        "ASAN_OPTIONS=$ASAN_OPTIONS:quarantine_size_mb=0 \"$KDB2MID\" convert --all -q -j2 -o out";
    const long smallPeak = peakMemory(small.path(), run);
    const long largePeak = peakMemory(large.path(), run);
    ASSERT_GT(smallPeak, 0);
    ASSERT_GT(largePeak, 0);
    // Sixteen times the songs; a list of them, or the index held whole, would
    // add 16 MiB.
    EXPECT_LT(largePeak - smallPeak, 4096) << smallPeak << " KiB, then " << largePeak << " KiB";
}

TEST(Hardening, BatchMemoryIsBoundedByThreadsNotSongs) {
    if (!canLimitMemory()) GTEST_SKIP() << "no memory limit under AddressSanitizer";
    TempDir db;
    TempDir out;
    sample::Database contents;
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        contents.records.push_back(sample::buildRecord(sample::syntheticSong(seed, 20000)));
    }
    sample::writeDatabase(contents, db.path());
    const RunResult run = runScript(
        db.path(), "ulimit -v 524288; \"$KDB2MID\" convert --all -j2 -o '" + out.path().string() + "'");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("300 converted, 0 skipped, 0 failed"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kdb2mid
